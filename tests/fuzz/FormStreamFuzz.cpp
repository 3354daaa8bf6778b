// Fuzz target for the form stream reader. Built with clang and
// -fsanitize=fuzzer it is a libFuzzer target; otherwise its own small driver
// mutates the program's built-in window layout for a given number of seconds.
#include <QtGlobal>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>

#include "widgets/Widgets.h"

namespace {

// Shaped like the main window so the real layout binds completely.
class TFuzzForm : public TForm {
 public:
  TPanel* Panel1 = nullptr;
  TPanel* Panel2 = nullptr;
  TSplitter* Splitter1 = nullptr;
  TButton* Button1 = nullptr;
  void Click(TObject* /*Sender*/) {}
  void Resize(TObject* /*Sender*/) {}
  void Closing(TObject* /*Sender*/, TCloseAction& /*Action*/) {}
  static const TFormClassInfo& ClassInfo() {
    static const TFormClassInfo info{
        "TForm1",
        {Field("Panel1", &TFuzzForm::Panel1), Field("Panel2", &TFuzzForm::Panel2),
         Field("Splitter1", &TFuzzForm::Splitter1), Field("Button1", &TFuzzForm::Button1)},
        {Handler("Button1Click", &TFuzzForm::Click), Handler("Button2Click", &TFuzzForm::Click),
         Handler("Button3Click", &TFuzzForm::Click), Handler("Button4Click", &TFuzzForm::Click),
         Handler("Button5Click", &TFuzzForm::Click), Handler("Button6Click", &TFuzzForm::Click),
         Handler("Button7Click", &TFuzzForm::Click), Handler("Panel2Resize", &TFuzzForm::Resize),
         Handler("FormClose", &TFuzzForm::Closing)}};
    return info;
  }
  TFuzzForm() : TForm(nullptr) {}
};

void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

void Setup() {
  static const bool done = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    qInstallMessageHandler(Quiet);
    Application->Initialize();
    return true;
  }();
  (void)done;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
  Setup();
  TFuzzForm form;
  try {
    ReadFormStream(&form, TFuzzForm::ClassInfo(),
                   std::string_view(reinterpret_cast<const char*>(AData), ASize), "fuzz");
  } catch (const Exception&) {
    // Rejected cleanly: that is the point.
  }
  return 0;
}

#ifndef PANES_LIBFUZZER
int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 1u;
  Setup();
  const std::string layout(FindResource("TFORM1"));
  if (layout.empty()) {
    std::cerr << "no built-in layout to start from\n";
    return 1;
  }
  std::mt19937 random(seed);
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  long runs = 0;
  while (std::chrono::steady_clock::now() < end) {
    std::string bytes = layout;
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits && !bytes.empty(); ++e) {
      const std::size_t at = random() % bytes.size();
      switch (random() % 5) {
        case 0: bytes[at] = static_cast<char>(random()); break;
        case 1: bytes[at] = static_cast<char>(bytes[at] ^ (1 << (random() % 8))); break;
        case 2: bytes.erase(at, 1 + random() % 16); break;
        case 3: bytes.insert(at, bytes.substr(random() % bytes.size(), 1 + random() % 16)); break;
        default: bytes.resize(at);
      }
    }
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ++runs;
  }
  Application->Finalize();
  std::cout << "form stream fuzz: " << runs << " inputs, no crash (seed " << seed << ")\n";
  return 0;
}
#endif
