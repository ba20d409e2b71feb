# Run after JUCE's helper has written the LV2 bundle's data: JUCE declares
# every effect a plain lv2:Plugin, which hosts list under no category. Adds
# the class the plug-in belongs to.
#   cmake -DTTL=<bundle>/dsp.ttl -DCLASS=lv2:AnalyserPlugin -P Lv2PluginClass.cmake
file(READ "${TTL}" text)
string(REPLACE "\ta lv2:Plugin ;" "\ta ${CLASS} , lv2:Plugin ;" changed "${text}")
if(changed STREQUAL text AND NOT text MATCHES "${CLASS}")
  message(FATAL_ERROR "${TTL}: no \"a lv2:Plugin\" declaration to extend")
endif()
file(WRITE "${TTL}" "${changed}")
