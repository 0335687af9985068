// The module's one export and its load notifications.
#include <new>

#include "plugin/rudara_plugin.h"

extern "C" __declspec(dllexport) PluginDescriptor* __cdecl winampGetGeneralPurposePlugin() {
  CRUDARAPlugin* plugin = new (std::nothrow) CRUDARAPlugin();
  if (plugin == nullptr) return nullptr;
  // The player calls the export once. Should it call again, the earlier object
  // is left alive (its descriptor may still be held) and every entry acts on
  // the newest object from now on.
  if (CRUDARAPlugin::instance != nullptr) plugin->TakeOverFrom(*CRUDARAPlugin::instance);
  CRUDARAPlugin::instance = plugin;
  return &plugin->descriptor;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
