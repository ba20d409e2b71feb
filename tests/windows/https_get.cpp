// One update-feed request through the product's WinHTTP client, for tests
// that talk to a server outside the Windows program.
//
//   https_get URL   prints the status, a line break and the body
#include <cstdio>

#include "library/platform_http.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: https_get URL\n");
    return 2;
  }
  const kestrune::updates::HttpResult result = kestrune::updates::HttpGet(argv[1], 8);
  std::printf("%d\n%s", result.status, result.body.c_str());
  return 0;
}
