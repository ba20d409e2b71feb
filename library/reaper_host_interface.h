#pragma once
// The host extension interface through which REAPER hands out its API
// functions and the objects a plug-in instance sits on. Only the vtable layout
// and the identifier matter: both must match what the host implements.
#include "pluginterfaces/base/funknown.h"

namespace ombrix {

class IReaperHostApplication : public Steinberg::FUnknown {
 public:
  // An API function by name, or null when the host does not know it.
  virtual void* PLUGIN_API getReaperApi(const char* functionName) = 0;

  // The object the instance belongs to: 1 = track, 2 = take, 3 = project.
  virtual void* PLUGIN_API getReaperParent(Steinberg::uint32 which) = 0;

  // Multi-purpose call; null when the host does not support the request.
  virtual void* PLUGIN_API reaperExtended(Steinberg::uint32 call, void* parm1, void* parm2, void* parm3) = 0;
};

// 79655E36-77EE-4267-A573-FEF74912C27C, laid out in the platform's byte order
// the same way the SDK lays out every interface identifier.
inline constexpr Steinberg::TUID kReaperHostApplicationIid =
    INLINE_UID(0x79655E36, 0x77EE4267, 0xA573FEF7, 0x4912C27C);

// getReaperParent argument for the track.
inline constexpr Steinberg::uint32 kReaperParentTrack = 1;

}  // namespace ombrix
