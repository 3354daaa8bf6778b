#include "widgets/Resources.h"

#include <map>

namespace {
std::map<std::string, std::string_view>& Registry() {
  static std::map<std::string, std::string_view> registry;
  return registry;
}
}  // namespace

TResourceRegistration::TResourceRegistration(const char* AName, const unsigned char* AData,
                                             std::size_t ASize) {
  Registry()[AName] = std::string_view(reinterpret_cast<const char*>(AData), ASize);
}

std::string_view FindResource(const std::string& AName) {
  const auto it = Registry().find(AName);
  return it != Registry().end() ? it->second : std::string_view();
}
