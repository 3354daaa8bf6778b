#pragma once
// Binary form streams: the window layout a form is built from. A stream is
// "TPF0" followed by one component record: class name, component name, its
// properties, a zero byte, its child records, a zero byte. Names are a length
// byte and the bytes; text is stored in code page 950 (Big5).

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "widgets/Event.h"

class TComponent;
class TForm;

// Value tags, as the format has always numbered them.
enum TValueType : unsigned char {
  vaNull = 0,
  vaList = 1,
  vaInt8 = 2,
  vaInt16 = 3,
  vaInt32 = 4,
  vaExtended = 5,
  vaString = 6,
  vaIdent = 7,
  vaFalse = 8,
  vaTrue = 9,
  vaBinary = 10,
  vaSet = 11,
  vaLString = 12,
  vaNil = 13,
  vaCollection = 14,
  vaSingle = 15,
  vaCurrency = 16,
  vaDate = 17,
  vaWString = 18,
  vaInt64 = 19,
  vaUTF8String = 20,
};

// What a form class lets its stream bind by name: component fields and event
// handlers. Kept next to the form class, in one place.
struct TFieldBinding {
  std::string Name;
  // Stores the component in the field; false when it has the wrong class.
  std::function<bool(TForm*, TComponent*)> Bind;
};

struct THandlerBinding {
  std::string Name;
  std::function<TNotifyEvent(TForm*)> Notify;  // set for TNotifyEvent handlers
  std::function<TCloseEvent(TForm*)> Close;    // set for TCloseEvent handlers
};

struct TFormClassInfo {
  std::string ClassName;
  std::vector<TFieldBinding> Fields;
  std::vector<THandlerBinding> Handlers;
};

template <class F, class C>
TFieldBinding Field(const char* AName, C* F::*AField) {
  return {AName, [AField](TForm* AForm, TComponent* AComponent) {
            auto* typed = dynamic_cast<C*>(AComponent);
            if (typed == nullptr) return false;
            static_cast<F*>(AForm)->*AField = typed;
            return true;
          }};
}

template <class F>
THandlerBinding Handler(const char* AName, void (F::*AMethod)(TObject*)) {
  return {AName, [AMethod](TForm* AForm) { return TNotifyEvent(static_cast<F*>(AForm), AMethod); },
          nullptr};
}

template <class F>
THandlerBinding Handler(const char* AName, void (F::*AMethod)(TObject*, TCloseAction&)) {
  return {AName, nullptr,
          [AMethod](TForm* AForm) { return TCloseEvent(static_cast<F*>(AForm), AMethod); }};
}

// Builds AForm's controls from AStream: creates the declared components, sets
// their properties and binds fields and handlers through AInfo. Throws
// Exception, naming what is wrong and where, for any malformed or unknown
// content; never reads outside AStream. AWhat names the stream in messages.
void ReadFormStream(TForm* AForm, const TFormClassInfo& AInfo, std::string_view AStream,
                    const std::string& AWhat);
