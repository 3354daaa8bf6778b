#pragma once
// Resources built into the program: the window layouts and the icon.

#include <cstddef>
#include <string>
#include <string_view>

// Registers a resource under a name; generated sources do this at start-up.
class TResourceRegistration {
 public:
  TResourceRegistration(const char* AName, const unsigned char* AData, std::size_t ASize);
};

// The named resource's bytes, or an empty view when there is none.
std::string_view FindResource(const std::string& AName);
