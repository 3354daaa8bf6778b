#include "widgets/CodePage.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

#include "widgets/Exception.h"

std::string ConvertText(std::string_view AText, const char* AFrom, const char* ATo) {
  iconv_t cd = iconv_open(ATo, AFrom);
  if (cd == reinterpret_cast<iconv_t>(-1))
    throw Exception(std::string("no conversion from ") + AFrom + " to " + ATo);
  std::unique_ptr<void, int (*)(iconv_t)> guard(cd, iconv_close);
  std::string input(AText);
  std::string out;
  char* in = input.data();
  size_t inLeft = input.size();
  char buffer[256];
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    const size_t done = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, sizeof buffer - outLeft);
    if (done == static_cast<size_t>(-1) && errno != E2BIG)
      throw Exception(std::string("text is not valid ") + AFrom + " or has no " + ATo +
                      " form (byte " + std::to_string(input.size() - inLeft) + ")");
  }
  return out;
}
