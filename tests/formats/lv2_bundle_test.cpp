// The built LV2 bundle as lilv, the library LV2 hosts read plug-ins with,
// sees it: the plug-in under its https URI (never a relative IRI), and its
// 18 parameters with their names, real ranges and identifiers that come
// from their names.
#include <gtest/gtest.h>
#include <lilv/lilv.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "core/parameter_table.h"

namespace ombrix {
namespace {

constexpr const char* kPatchWritable = "http://lv2plug.in/ns/ext/patch#writable";
constexpr const char* kLabel = "http://www.w3.org/2000/01/rdf-schema#label";
constexpr const char* kMinimum = "http://lv2plug.in/ns/lv2core#minimum";
constexpr const char* kMaximum = "http://lv2plug.in/ns/lv2core#maximum";
constexpr const char* kDefault = "http://lv2plug.in/ns/lv2core#default";

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class Lv2Bundle : public ::testing::Test {
 protected:
  void SetUp() override {
    world_ = lilv_world_new();
    const std::string bundleUri = std::string("file://") + OMBRIX_LV2_BUNDLE + "/";
    LilvNode* bundle = lilv_new_uri(world_, bundleUri.c_str());
    lilv_world_load_bundle(world_, bundle);
    lilv_node_free(bundle);
    LilvNode* uri = Uri(OMBRIX_LV2_URI);
    plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uri);
    lilv_node_free(uri);
    ASSERT_NE(plugin_, nullptr) << "no plug-in " << OMBRIX_LV2_URI << " in " << OMBRIX_LV2_BUNDLE;
    // The plug-in's own data (dsp.ttl), as a host loads it before instantiating.
    lilv_world_load_resource(world_, lilv_plugin_get_uri(plugin_));
  }
  void TearDown() override { lilv_world_free(world_); }

  LilvNode* Uri(const char* uri) { return lilv_new_uri(world_, uri); }

  // The one value of subject's property, as a string, or "".
  std::string Value(const LilvNode* subject, const char* property) {
    LilvNode* predicate = Uri(property);
    LilvNode* value = lilv_world_get(world_, subject, predicate, nullptr);
    lilv_node_free(predicate);
    if (value == nullptr) return {};
    const std::string text = lilv_node_is_uri(value) ? lilv_node_as_uri(value) : lilv_node_as_string(value);
    lilv_node_free(value);
    return text;
  }

  LilvWorld* world_ = nullptr;
  const LilvPlugin* plugin_ = nullptr;
};

TEST_F(Lv2Bundle, TheManifestNamesThePluginByItsHttpsUri) {
  const std::string manifest = ReadText(std::string(OMBRIX_LV2_BUNDLE) + "/manifest.ttl");
  EXPECT_NE(manifest.find(std::string("<") + OMBRIX_LV2_URI + ">\n\ta lv2:Plugin"), std::string::npos) << manifest;
  EXPECT_EQ(manifest.find("<Ombrix>"), std::string::npos) << manifest;
  EXPECT_EQ(std::string(OMBRIX_LV2_URI).rfind("https://", 0), 0u);

  LilvNode* name = lilv_plugin_get_name(plugin_);
  EXPECT_STREQ(lilv_node_as_string(name), "Ombrix");
  lilv_node_free(name);
  // Hosts list it under a category of its own, not as a generic plug-in:
  // with LV2's class tree loaded, as a host has it, the class is found.
  const std::string core = "file:///usr/lib/lv2/core.lv2/";
  LilvNode* coreBundle = lilv_new_uri(world_, core.c_str());
  lilv_world_load_bundle(world_, coreBundle);
  lilv_node_free(coreBundle);
  LilvNode* coreVocabulary = lilv_new_uri(world_, "http://lv2plug.in/ns/lv2core");
  lilv_world_load_resource(world_, coreVocabulary);  // lv2core.ttl, where the classes are defined
  lilv_node_free(coreVocabulary);
  lilv_world_load_plugin_classes(world_);
  const LilvPluginClass* pluginClass = lilv_plugin_get_class(plugin_);
  ASSERT_NE(pluginClass, nullptr);
  EXPECT_STREQ(lilv_node_as_uri(lilv_plugin_class_get_uri(pluginClass)), "http://lv2plug.in/ns/lv2core#AnalyserPlugin");
  LilvNode* audioPort = Uri(LILV_URI_AUDIO_PORT);
  LilvNode* input = Uri(LILV_URI_INPUT_PORT);
  LilvNode* output = Uri(LILV_URI_OUTPUT_PORT);
  EXPECT_EQ(lilv_plugin_get_num_ports_of_class(plugin_, audioPort, input, nullptr), 2u);
  EXPECT_EQ(lilv_plugin_get_num_ports_of_class(plugin_, audioPort, output, nullptr), 2u);
  for (LilvNode* node : {audioPort, input, output}) lilv_node_free(node);
}

TEST_F(Lv2Bundle, EighteenParametersWithNamesRealRangesAndIdentifiersFromTheirNames) {
  const struct {
    int index;
    const char* id;
  } ids[] = {{kBypass, "bypass"},
             {kLoudnessTarget, "loudness_target"},
             {kCorrectLoMid, "correct_lo_mid"},
             {kFrozenHiMid, "frozen_hi_mid"},
             {kMidCrossover, "mid_crossover"}};

  LilvNode* writable = Uri(kPatchWritable);
  LilvNodes* parameters = lilv_world_find_nodes(world_, lilv_plugin_get_uri(plugin_), writable, nullptr);
  lilv_node_free(writable);
  std::map<std::string, std::string> idOfName;
  LILV_FOREACH(nodes, i, parameters) {
    const LilvNode* parameter = lilv_nodes_get(parameters, i);
    const std::string iri = lilv_node_as_uri(parameter);
    const std::string label = Value(parameter, kLabel);
    SCOPED_TRACE(iri + " " + label);
    ASSERT_EQ(iri.rfind(std::string(OMBRIX_LV2_URI) + ":", 0), 0u);
    EXPECT_TRUE(idOfName.emplace(label, iri.substr(std::string(OMBRIX_LV2_URI).size() + 1)).second) << "twice";
    int index = -1;
    for (int p = 0; p < kNumParams; ++p)
      if (label == Param(p).name) index = p;
    ASSERT_GE(index, 0) << "not one of ours";
    const ParamSpec& spec = Param(index);
    EXPECT_NEAR(std::stod(Value(parameter, kMinimum)), spec.kind == ParamKind::Bool ? 0.0 : spec.minValue, 1e-3);
    EXPECT_NEAR(std::stod(Value(parameter, kMaximum)), spec.kind == ParamKind::Bool ? 1.0 : spec.maxValue, 1e-3);
    EXPECT_NEAR(std::stod(Value(parameter, kDefault)), spec.defaultValue, 1e-3 * std::max(1.0, spec.maxValue));
  }
  lilv_nodes_free(parameters);

  EXPECT_EQ(idOfName.size(), static_cast<std::size_t>(kNumParams));
  for (const auto& expected : ids) EXPECT_EQ(idOfName[Param(expected.index).name], expected.id);
}

}  // namespace
}  // namespace ombrix
