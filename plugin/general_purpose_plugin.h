// What every general purpose plug-in needs: the descriptor handed to the
// player, the description buffer, and the player's three entries routed to
// the one plug-in object.
#pragma once

#include <string>

#include "plugin/host_records.h"

template <class TPlugin>
class CGeneralPurposePluginBase {
 public:
  // Slot order matters to nobody outside the module, but is kept stable.
  virtual bool Init() = 0;
  virtual void Config() = 0;
  virtual void Quit() = 0;

  char descriptionText[512];
  PluginDescriptor descriptor;

  // The one plug-in object; null before the export runs and after quit.
  static inline TPlugin* instance = nullptr;

 protected:
  CGeneralPurposePluginBase() {
    descriptionText[0] = '\0';
    descriptor.version = kPluginDescriptorVersion;
    descriptor.description = descriptionText;
    descriptor.init = &InitEntry;
    descriptor.config = &ConfigEntry;
    descriptor.quit = &QuitEntry;
    descriptor.mainWindow = nullptr;
    descriptor.moduleHandle = nullptr;
  }
  // Not virtual: objects are destroyed as the concrete plug-in class only.
  ~CGeneralPurposePluginBase() = default;

  CGeneralPurposePluginBase(const CGeneralPurposePluginBase&) = delete;
  CGeneralPurposePluginBase& operator=(const CGeneralPurposePluginBase&) = delete;

  // Fills descriptionText from the module's version resource: maker, product
  // name and short version, e.g. "Quillmoor Sheetwalk v0.8". Without a module
  // handle or a complete resource the description is empty. Defined in
  // plugin_description.cpp, which instantiates it for the plug-in class.
  void BuildDescription();
  // Writes that description into `text`; leaves `text` untouched when there
  // is no module handle, no version resource, or the resource lacks its
  // translation or one of the three strings it is made of.
  void ReadVersionDescription(std::u16string& text) const;

 private:
  static int __cdecl InitEntry() {
    if (instance == nullptr) return -1;
    return instance->Init() ? 0 : -1;
  }
  static void __cdecl ConfigEntry() {
    if (instance != nullptr) instance->Config();
  }
  // The window hook and the timer are released by Quit before the object
  // that their callbacks reach through `instance` goes away.
  static void __cdecl QuitEntry() {
    if (instance == nullptr) return;
    TPlugin* plugin = instance;
    plugin->Quit();
    delete plugin;
    instance = nullptr;
  }
};
