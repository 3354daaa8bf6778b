#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tools/FormText.h"
#include "widgets/CodePage.h"
#include "widgets/Widgets.h"

namespace {

class TTestForm : public TForm {
 public:
  TPanel* Bar = nullptr;
  TButton* Go = nullptr;
  TPanel* Area = nullptr;
  int Clicks = 0;
  int Closes = 0;
  void GoClick(TObject* /*Sender*/) { ++Clicks; }
  void FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) { ++Closes; }

  static const TFormClassInfo& ClassInfo() {
    static const TFormClassInfo info{
        "TTestForm",
        {Field("Bar", &TTestForm::Bar), Field("Go", &TTestForm::Go), Field("Area", &TTestForm::Area)},
        {Handler("GoClick", &TTestForm::GoClick), Handler("FormClose", &TTestForm::FormClose)}};
    return info;
  }
  explicit TTestForm(const std::string& AStream) : TForm(nullptr) {
    ReadFormStream(this, ClassInfo(), AStream, "test layout");
  }
};

const char* const kLayout = R"(object TestForm: TTestForm
  Left = 10
  Top = 20
  Width = 408
  Height = 334
  Caption = 'Test ''window'''
  Constraints.MinHeight = 150
  Constraints.MinWidth = 100
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = [fsBold]
  OnClose = FormClose
  object Bar: TPanel
    Height = 57
    Align = alTop
    Caption = '建立'#32'x'
    TabOrder = 0
    object Go: TButton
      Left = 24
      Top = 8
      Width = 57
      Height = 41
      Caption = '刪除視窗'
      TabOrder = 0
      OnClick = GoClick
    end
  end
  object Area: TPanel
    Align = alClient
    Caption = 'long ' +
      'caption'
    DockSite = True
    TabOrder = 1
  end
end
)";

std::string Stream(const std::string& AText) {
  return form_text::ToBinary(form_text::Parse(AText));
}

std::string Replace(std::string AText, const std::string& AFrom, const std::string& ATo) {
  const auto at = AText.find(AFrom);
  EXPECT_NE(at, std::string::npos) << AFrom;
  return AText.replace(at, AFrom.size(), ATo);
}

// The message of the Exception reading AStream throws, or "" if none.
std::string ReadError(const std::string& AStream) {
  try {
    TTestForm form(AStream);
  } catch (const Exception& e) {
    return e.Message();
  }
  return "";
}

TEST(FormStream, TextLayoutRoundTripsIntoControlsPropertiesAndBindings) {
  TTestForm form(Stream(kLayout));
  EXPECT_EQ(form.Name(), "TestForm");
  EXPECT_EQ(form.Text(), "Test 'window'");
  EXPECT_EQ(form.Left(), 10);
  EXPECT_EQ(form.ClientWidth(), 400);
  EXPECT_EQ(form.ClientHeight(), 300);
  EXPECT_EQ(form.MinWidth(), 100);
  EXPECT_EQ(form.MinHeight(), 150);
  EXPECT_EQ(form.Font().Height, -11);
  EXPECT_EQ(form.Font().Name, "MS Sans Serif");
  EXPECT_TRUE(form.Font().Bold);
  ASSERT_NE(form.Bar, nullptr);
  ASSERT_NE(form.Go, nullptr);
  ASSERT_NE(form.Area, nullptr);
  EXPECT_EQ(form.Bar->Parent(), &form);
  EXPECT_EQ(form.Go->Parent(), form.Bar);
  EXPECT_EQ(form.Go->Owner(), &form);
  EXPECT_EQ(form.Bar->Text(), "建立 x");
  EXPECT_EQ(form.Go->Text(), "刪除視窗");
  EXPECT_EQ(form.Area->Text(), "long caption");
  EXPECT_EQ(form.Bar->Width(), 400);
  EXPECT_EQ(form.Area->Top(), 57);
  EXPECT_EQ(form.Area->Height(), 243);
  EXPECT_EQ(form.Go->Left(), 24);
  EXPECT_EQ(form.Go->Height(), 41);
  EXPECT_EQ(form.Area->TabOrder(), 1);
  form.Go->OnClick(form.Go);
  EXPECT_EQ(form.Clicks, 1);
  form.Close();
  EXPECT_EQ(form.Closes, 1);
}

TEST(FormStream, WriterUsesTheFormatsTagsSmallestIntegersAndCodePage950) {
  const std::string bytes = Stream(R"(object F: TTestForm
  Left = 57
  Width = 696
  Height = -11
  Top = 100000
  Caption = '建立'
  Font.Style = []
  OnClose = FormClose
end
)");
  using namespace std::string_literals;
  const std::string expected = "TPF0"s + "\x09TTestForm" + "\x01" "F" +  //
                               "\x04Left" + "\x02\x39" +                  // 57: 8 bits
                               "\x05Width" + "\x03\xB8\x02" +            // 696: 16 bits
                               "\x06Height" + "\x02\xF5" +                // -11: 8 bits
                               "\x03Top" + "\x04\xA0\x86\x01\x00"s +     // 100000: 32 bits
                               "\x07" "Caption" + "\x06\x04\xAB\xD8\xA5\xDF" +  // Big5
                               "\x0A" "Font.Style" + "\x0B\x00"s +        // empty set
                               "\x07OnClose" + "\x07\x09" "FormClose" +   // identifier
                               "\x00\x00"s;                               // no more props, kids
  EXPECT_EQ(bytes, expected);
}

TEST(FormStream, MalformedOrUnknownContentFailsWithAClearMessage) {
  const std::string good = Stream(kLayout);
  struct Case {
    std::string Stream;
    std::string Expected;
  };
  const std::vector<Case> cases = {
      {"XPF0" + good.substr(4), "bad signature"},
      {"", "truncated while reading the signature"},
      {Stream(Replace(kLayout, "TTestForm", "TOtherForm")), "describes class 'TOtherForm'"},
      {Stream(Replace(kLayout, "Go: TButton", "Go: TCheckBox")), "unknown class 'TCheckBox'"},
      {Stream(Replace(kLayout, "TabOrder = 1", "Colour = 1")), "unknown property Area.Colour"},
      {Stream(Replace(kLayout, "OnClick = GoClick", "OnClick = Missing")),
       "unknown handler 'Missing' for Go.OnClick"},
      {Stream(Replace(kLayout, "OnClick = GoClick", "OnClick = FormClose")),
       "handler 'FormClose' does not fit Go.OnClick"},
      {Stream(Replace(kLayout, "Align = alClient", "Align = alMiddle")),
       "Area.Align cannot be 'alMiddle'"},
      {Stream(Replace(kLayout, "Height = 57", "Height = 'tall'")), "Bar.Height needs a number"},
      {Stream(Replace(kLayout, "Area: TPanel", "Area: TButton")),
       "field 'Area' of TTestForm cannot hold a TButton"},
      {Stream(Replace(kLayout, "Area: TPanel", "Bar: TPanel")), "'Bar' is used twice"},
      {Stream(Replace(kLayout, "Font.Style = [fsBold]", "Font.Style = [fsShiny]")),
       "cannot hold 'fsShiny'"},
      {good + "x", "unexpected data after the form"},
      {Replace(good, Utf8ToCp950("刪除視窗"), std::string(8, '\xFF')),
       "Go.Caption: text is not valid CP950"},
  };
  for (const Case& c : cases) {
    const std::string message = ReadError(c.Stream);
    EXPECT_NE(message.find(c.Expected), std::string::npos)
        << "expected \"" << c.Expected << "\" in \"" << message << "\"";
    EXPECT_EQ(message.rfind("test layout", 0), 0u) << message;
  }
}

TEST(FormStream, EveryTruncationFailsCleanly) {
  const std::string good = Stream(kLayout);
  for (std::size_t length = 0; length < good.size(); ++length) {
    const std::string message = ReadError(good.substr(0, length));
    ASSERT_FALSE(message.empty()) << "a stream cut at " << length << " bytes was accepted";
  }
  EXPECT_EQ(ReadError(good), "");
}

TEST(FormStream, RandomlyCorruptedStreamsNeverCrash) {
  // Under the sanitizers this doubles as a small fuzzer.
  const std::string good = Stream(kLayout);
  std::mt19937 random(7);
  int accepted = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string bytes = good;
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = random() % bytes.size();
      switch (random() % 4) {
        case 0:
          bytes[at] = static_cast<char>(random());
          break;
        case 1:
          bytes.erase(at, 1 + random() % 8);
          break;
        case 2:
          bytes.insert(at, 1, static_cast<char>(random() % 32));
          break;
        default:
          bytes.resize(at);
      }
      if (bytes.empty()) bytes = "T";
    }
    if (ReadError(bytes).empty()) ++accepted;
  }
  EXPECT_LT(accepted, 3000);
}

TEST(FormText, SyntaxErrorsNameTheLine) {
  try {
    form_text::Parse("object A: TTestForm\n  Left 5\nend\n");
    FAIL() << "accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("line 2"), std::string::npos) << e.what();
  }
  EXPECT_THROW(form_text::Parse("object A: TTestForm\n  Caption = 'open\nend\n"), std::runtime_error);
  EXPECT_THROW(form_text::Parse("object A TTestForm\nend\n"), std::runtime_error);
  EXPECT_THROW(form_text::Parse("object A: TTestForm\nend\nextra"), std::runtime_error);
}

}  // namespace
