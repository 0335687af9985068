// The description that the player lists for the plug-in, read from the
// module's own version resource.
#include <string>

#include "plugin/rudara_plugin.h"
#include "plugin/version_resource.h"
#include "plugin/version_text.h"

template <class TPlugin>
void CGeneralPurposePluginBase<TPlugin>::ReadVersionDescription(std::u16string& text) const {
  if (descriptor.moduleHandle == nullptr) return;
  ReadModuleDescription(descriptor.moduleHandle, text);
}

template <class TPlugin>
void CGeneralPurposePluginBase<TPlugin>::BuildDescription() {
  std::u16string text;
  ReadVersionDescription(text);
  CopyAnsiText(text, descriptionText, sizeof descriptionText);
}

template void CGeneralPurposePluginBase<CRUDARAPlugin>::BuildDescription();
template void CGeneralPurposePluginBase<CRUDARAPlugin>::ReadVersionDescription(std::u16string&) const;
