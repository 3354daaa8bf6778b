#pragma once
// Events are method pointers: the code of a member function plus the object
// it runs on. Assigning an event replaces both; an empty one is not called.

#include "widgets/Types.h"

class TObject;

template <typename... Args>
class TMethodEvent {
 public:
  using Code = void (TObject::*)(Args...);

  TMethodEvent() = default;

  // Any class derived from TObject can receive events; the member pointer is
  // converted to the base's, which is exact for single, non-virtual bases.
  template <class C>
  TMethodEvent(C* AObject, void (C::*ACode)(Args...))
      : FObject(AObject), FCode(static_cast<Code>(ACode)) {}

  explicit operator bool() const { return FObject != nullptr && FCode != nullptr; }

  void operator()(Args... AArgs) const {
    if (*this) (FObject->*FCode)(AArgs...);
  }

  TObject* Object() const { return FObject; }
  bool operator==(const TMethodEvent&) const = default;

 private:
  TObject* FObject = nullptr;
  Code FCode = nullptr;
};

using TNotifyEvent = TMethodEvent<TObject*>;
using TMouseEvent = TMethodEvent<TObject*, TMouseButton, TShiftState, int, int>;
using TCanResizeEvent = TMethodEvent<TObject*, int&, bool&>;
// A key pressed (its code as a shortcut has it, see Action.h) with the
// modifiers held; setting the code to 0 keeps the key from going further.
using TKeyEvent = TMethodEvent<TObject*, unsigned&, TShiftState>;
using TCloseEvent = TMethodEvent<TObject*, TCloseAction&>;
using TCloseQueryEvent = TMethodEvent<TObject*, bool&>;
