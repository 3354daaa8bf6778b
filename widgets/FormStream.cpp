#include "widgets/FormStream.h"

#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>
#include <set>

#include "widgets/Button.h"
#include "widgets/CodePage.h"
#include "widgets/Exception.h"
#include "widgets/Form.h"
#include "widgets/Memo.h"
#include "widgets/PaintBox.h"
#include "widgets/Panel.h"
#include "widgets/Splitter.h"
#include "widgets/StringGrid.h"

// --- Reading ----------------------------------------------------------------

namespace {

constexpr int kMaxDepth = 32;

struct TValue {
  TValueType Type = vaNull;
  std::int64_t Int = 0;
  std::string Text;  // UTF-8 for strings, the name for identifiers
  std::vector<std::string> Set;
  std::vector<TValue> List;
};

class TStreamCursor {
 public:
  TStreamCursor(std::string_view AData, const std::string& AWhat) : FData(AData), FWhat(AWhat) {}

  [[noreturn]] void Fail(const std::string& AMessage) const {
    throw Exception(FWhat + ": " + AMessage + " (offset " + std::to_string(FOffset) + ")");
  }
  bool AtEnd() const { return FOffset >= FData.size(); }
  unsigned char Byte(const char* AReading) {
    if (FOffset >= FData.size()) Fail(std::string("truncated while reading ") + AReading);
    return static_cast<unsigned char>(FData[FOffset++]);
  }
  std::string_view Bytes(std::size_t ACount, const char* AReading) {
    if (ACount > FData.size() - FOffset) Fail(std::string("truncated while reading ") + AReading);
    const std::string_view bytes = FData.substr(FOffset, ACount);
    FOffset += ACount;
    return bytes;
  }
  std::int64_t Signed(int ABytes, const char* AReading) {
    const std::string_view b = Bytes(static_cast<std::size_t>(ABytes), AReading);
    std::uint64_t value = 0;
    for (int i = ABytes - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(b[i]);
    const int bits = 8 * ABytes;
    if (bits < 64 && (value >> (bits - 1)) != 0) value |= ~std::uint64_t{0} << bits;
    return static_cast<std::int64_t>(value);
  }
  std::string ShortString(const char* AReading) {
    const unsigned char length = Byte(AReading);
    return std::string(Bytes(length, AReading));
  }
  unsigned char Peek() const { return AtEnd() ? 0 : static_cast<unsigned char>(FData[FOffset]); }

 private:
  std::string_view FData;
  std::string FWhat;
  std::size_t FOffset = 0;
};

TValue ReadValue(TStreamCursor& ACursor, int ADepth) {
  if (ADepth > kMaxDepth) ACursor.Fail("values nested too deeply");
  TValue value;
  value.Type = static_cast<TValueType>(ACursor.Byte("a value tag"));
  switch (value.Type) {
    case vaList:
      while (ACursor.Peek() != vaNull || ACursor.AtEnd()) value.List.push_back(ReadValue(ACursor, ADepth + 1));
      ACursor.Byte("the end of a list");
      break;
    case vaInt8:
      value.Int = ACursor.Signed(1, "an 8-bit integer");
      break;
    case vaInt16:
      value.Int = ACursor.Signed(2, "a 16-bit integer");
      break;
    case vaInt32:
      value.Int = ACursor.Signed(4, "a 32-bit integer");
      break;
    case vaInt64:
      value.Int = ACursor.Signed(8, "a 64-bit integer");
      break;
    case vaString:
      value.Text = ACursor.ShortString("a string");
      break;
    case vaLString:
    case vaUTF8String: {
      const std::int64_t length = ACursor.Signed(4, "a string length");
      if (length < 0) ACursor.Fail("negative string length");
      value.Text = std::string(ACursor.Bytes(static_cast<std::size_t>(length), "a string"));
      break;
    }
    case vaIdent:
      value.Text = ACursor.ShortString("an identifier");
      break;
    case vaFalse:
    case vaTrue:
    case vaNil:
      break;
    case vaSet:
      for (;;) {
        std::string element = ACursor.ShortString("a set element");
        if (element.empty()) break;
        value.Set.push_back(std::move(element));
      }
      break;
    default:
      ACursor.Fail("unsupported value type " + std::to_string(static_cast<int>(value.Type)));
  }
  return value;
}

// Applies one property to one component, knowing the form being read.
class TFormReader {
 public:
  TFormReader(TForm* AForm, const TFormClassInfo& AInfo, TStreamCursor& ACursor)
      : FForm(AForm), FInfo(AInfo), FCursor(ACursor) {}

  void ReadRoot() {
    if (FCursor.Bytes(4, "the signature") != "TPF0") {
      throw Exception(std::string("not a form stream: bad signature"));
    }
    const std::string className = FCursor.ShortString("the class name");
    if (className != FInfo.ClassName)
      FCursor.Fail("the stream describes class '" + className + "', not '" + FInfo.ClassName + "'");
    FForm->SetName(FCursor.ShortString("the form's name"));
    ReadProperties(FForm);
    ReadChildren(FForm, 1);
  }

 private:
  [[noreturn]] void Fail(const std::string& AMessage) const { FCursor.Fail(AMessage); }

  void ReadChildren(TComponent* AParent, int ADepth) {
    while (FCursor.Peek() != 0 || FCursor.AtEnd()) ReadComponent(AParent, ADepth);
    FCursor.Byte("the end of a child list");
  }

  void ReadComponent(TComponent* AParent, int ADepth) {
    if (ADepth > kMaxDepth) Fail("components nested too deeply");
    if ((FCursor.Peek() & 0xF0) == 0xF0) Fail("inherited or ordered components are not supported");
    const std::string className = FCursor.ShortString("a class name");
    const std::string name = FCursor.ShortString("a component name");
    auto* parent = dynamic_cast<TWinControl*>(AParent);
    if (parent == nullptr) Fail("'" + AParent->Name() + "' cannot hold '" + name + "'");
    if (name.empty()) Fail("a component of class '" + className + "' has no name");
    if (!FNames.insert(name).second) Fail("component name '" + name + "' is used twice");
    TControl* control = Create(className);
    if (control == nullptr) Fail("unknown class '" + className + "' for '" + name + "'");
    control->SetName(name);
    control->SetParent(parent);
    BindField(name, control);
    ReadProperties(control);
    ReadChildren(control, ADepth + 1);
  }

  TControl* Create(const std::string& AClassName) {
    if (AClassName == "TPanel") return new TPanel(FForm);
    if (AClassName == "TButton") return new TButton(FForm);
    if (AClassName == "TSplitter") return new TSplitter(FForm);
    if (AClassName == "TPaintBox") return new TPaintBox(FForm);
    if (AClassName == "TMemo") return new TMemo(FForm);
    if (AClassName == "TStringGrid") return new TStringGrid(FForm);
    return nullptr;
  }

  void BindField(const std::string& AName, TComponent* AComponent) {
    for (const TFieldBinding& field : FInfo.Fields)
      if (field.Name == AName && !field.Bind(FForm, AComponent))
        Fail("field '" + AName + "' of " + FInfo.ClassName + " cannot hold a " +
             AComponent->ClassName());
  }

  void ReadProperties(TComponent* ATarget) {
    for (;;) {
      const std::string name = FCursor.ShortString("a property name");
      if (name.empty()) return;
      const TValue value = ReadValue(FCursor, 0);
      SetProperty(ATarget, name, value);
    }
  }

  std::int64_t Int(const std::string& AProp, const TValue& AValue) const {
    if (AValue.Type != vaInt8 && AValue.Type != vaInt16 && AValue.Type != vaInt32 &&
        AValue.Type != vaInt64)
      Fail(AProp + " needs a number");
    return AValue.Int;
  }
  int Int32(const std::string& AProp, const TValue& AValue) const {
    const std::int64_t v = Int(AProp, AValue);
    if (v < -1000000 || v > 1000000) Fail(AProp + " is out of range");
    return static_cast<int>(v);
  }
  std::string Text(const std::string& AProp, const TValue& AValue) const {
    try {
      if (AValue.Type == vaString || AValue.Type == vaLString) return Cp950ToUtf8(AValue.Text);
      if (AValue.Type == vaUTF8String) return ConvertText(AValue.Text, "UTF-8", "UTF-8");
    } catch (const Exception& e) {
      Fail(AProp + ": " + e.Message());
    }
    Fail(AProp + " needs a string");
  }
  const std::string& Ident(const std::string& AProp, const TValue& AValue) const {
    if (AValue.Type != vaIdent) Fail(AProp + " needs an identifier");
    return AValue.Text;
  }
  bool Bool(const std::string& AProp, const TValue& AValue) const {
    if (AValue.Type != vaFalse && AValue.Type != vaTrue) Fail(AProp + " needs True or False");
    return AValue.Type == vaTrue;
  }
  template <class T>
  T Named(const std::string& AProp, const TValue& AValue,
          const std::map<std::string, T>& ANames) const {
    const std::string& ident = Ident(AProp, AValue);
    const auto it = ANames.find(ident);
    if (it == ANames.end()) Fail(AProp + " cannot be '" + ident + "'");
    return it->second;
  }
  TColor Color(const std::string& AProp, const TValue& AValue) const {
    static const std::map<std::string, TColor> colors = {
        {"clBlack", clBlack},         {"clRed", clRed},
        {"clWhite", clWhite},         {"clGray", clGray},
        {"clBtnFace", clBtnFace},     {"clWindowText", clWindowText},
        {"clWindow", clWindow},       {"clBtnShadow", clBtnShadow},
        {"clBtnHighlight", clBtnHighlight}};
    if (AValue.Type == vaIdent) return Named(AProp, AValue, colors);
    return static_cast<TColor>(Int(AProp, AValue));
  }
  const THandlerBinding& HandlerFor(const std::string& AProp, const TValue& AValue) const {
    const std::string& name = Ident(AProp, AValue);
    for (const THandlerBinding& handler : FInfo.Handlers)
      if (handler.Name == name) return handler;
    Fail("unknown handler '" + name + "' for " + AProp);
  }
  TNotifyEvent Notify(const std::string& AProp, const TValue& AValue) const {
    const THandlerBinding& handler = HandlerFor(AProp, AValue);
    if (!handler.Notify) Fail("handler '" + handler.Name + "' does not fit " + AProp);
    return handler.Notify(FForm);
  }

  void SetProperty(TComponent* ATarget, const std::string& AName, const TValue& AValue) {
    const std::string prop = ATarget->Name() + "." + AName;
    auto* control = dynamic_cast<TControl*>(ATarget);
    auto* windowed = dynamic_cast<TWinControl*>(ATarget);
    const bool isForm = ATarget == FForm;
    static const std::map<std::string, TAlign> aligns = {
        {"alNone", alNone}, {"alTop", alTop},     {"alBottom", alBottom},
        {"alLeft", alLeft}, {"alRight", alRight}, {"alClient", alClient}};
    static const std::map<std::string, TCursor> cursors = {
        {"crDefault", crDefault}, {"crHSplit", crHSplit}, {"crVSplit", crVSplit}};

    if (AName == "Left") return control->SetLeft(Int32(prop, AValue));
    if (AName == "Top") return control->SetTop(Int32(prop, AValue));
    if (AName == "Width") return control->SetWidth(Int32(prop, AValue));
    if (AName == "Height") return control->SetHeight(Int32(prop, AValue));
    if (AName == "Align" && !isForm) return control->SetAlign(Named(prop, AValue, aligns));
    if (AName == "Caption") return control->SetText(Text(prop, AValue));
    if (AName == "Color") return control->SetColor(Color(prop, AValue));
    if (AName == "Visible" && !isForm) return control->SetVisible(Bool(prop, AValue));
    if (AName == "Cursor") return control->SetCursor(Named(prop, AValue, cursors));
    if (AName == "TabOrder" && windowed != nullptr && !isForm)
      return windowed->SetTabOrder(Int32(prop, AValue));
    if (AName.rfind("Font.", 0) == 0) return SetFontProperty(control, prop, AName.substr(5), AValue);
    if (AName == "OnClick" && dynamic_cast<TButton*>(ATarget) != nullptr)
      return void(control->OnClick = Notify(prop, AValue));
    if (AName == "OnResize") return void(control->OnResize = Notify(prop, AValue));
    // Docking is not offered; the flag is accepted so layouts that set it load.
    if (AName == "DockSite" && windowed != nullptr) return void(Bool(prop, AValue));
    if (isForm) {
      if (AName == "Constraints.MinHeight")
        return FForm->SetConstraints(FForm->MinWidth(), Int32(prop, AValue));
      if (AName == "Constraints.MinWidth")
        return FForm->SetConstraints(Int32(prop, AValue), FForm->MinHeight());
      if (AName == "OnClose") {
        const THandlerBinding& handler = HandlerFor(prop, AValue);
        if (!handler.Close) Fail("handler '" + handler.Name + "' does not fit " + prop);
        FForm->OnClose = handler.Close(FForm);
        return;
      }
      // Design-time bookkeeping of the original layout; nothing to apply.
      if (AName == "OldCreateOrder") return void(Bool(prop, AValue));
      if (AName == "PixelsPerInch" || AName == "TextHeight") return void(Int(prop, AValue));
    }
    Fail("unknown property " + prop);
  }

  void SetFontProperty(TControl* AControl, const std::string& AProp, const std::string& AField,
                       const TValue& AValue) {
    TFont font = AControl->Font();
    if (AField == "Name") {
      font.Name = Text(AProp, AValue);
    } else if (AField == "Height") {
      font.Height = Int32(AProp, AValue);
    } else if (AField == "Color") {
      font.Color = Color(AProp, AValue);
    } else if (AField == "Charset") {
      // Text is Unicode here; any character set is fine, but must be one.
      static const std::map<std::string, int> charsets = {
          {"DEFAULT_CHARSET", 1}, {"ANSI_CHARSET", 0}, {"CHINESEBIG5_CHARSET", 136}};
      if (AValue.Type == vaIdent) Named(AProp, AValue, charsets);
      else Int(AProp, AValue);
    } else if (AField == "Style") {
      if (AValue.Type != vaSet) Fail(AProp + " needs a set");
      font.Bold = font.Italic = font.Underline = font.StrikeOut = false;
      for (const std::string& style : AValue.Set) {
        if (style == "fsBold") font.Bold = true;
        else if (style == "fsItalic") font.Italic = true;
        else if (style == "fsUnderline") font.Underline = true;
        else if (style == "fsStrikeOut") font.StrikeOut = true;
        else Fail(AProp + " cannot hold '" + style + "'");
      }
    } else {
      Fail("unknown property " + AProp);
    }
    AControl->SetFont(font);
  }

  TForm* FForm;
  const TFormClassInfo& FInfo;
  TStreamCursor& FCursor;
  std::set<std::string> FNames;
};

}  // namespace

void ReadFormStream(TForm* AForm, const TFormClassInfo& AInfo, std::string_view AStream,
                    const std::string& AWhat) {
  TStreamCursor cursor(AStream, AWhat);
  TFormReader reader(AForm, AInfo, cursor);
  try {
    reader.ReadRoot();
  } catch (const Exception& e) {
    if (e.Message().rfind(AWhat, 0) == 0) throw;
    throw Exception(AWhat + ": " + e.Message());
  }
  if (!cursor.AtEnd()) cursor.Fail("unexpected data after the form");
}
