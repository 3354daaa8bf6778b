#include "widgets/Dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "widgets/Application.h"
#include "widgets/Form.h"

namespace {
TDialogAnswers* gAnswers = nullptr;

QWidget* DialogParent() {
  if (Application != nullptr && Application->MainForm() != nullptr)
    return Application->MainForm()->Peer();
  return QApplication::activeWindow();
}
}  // namespace

void SetDialogAnswers(TDialogAnswers* AAnswers) { gAnswers = AAnswers; }

int MessageDlg(const std::string& AText, TMsgDlgType AType,
               const std::vector<std::string>& AButtons, int ADefault, int AEscape,
               const std::string& ADetail) {
  if (gAnswers != nullptr) {
    gAnswers->Shown.push_back(AText + (ADetail.empty() ? "" : "\n" + ADetail));
    // The key or click that answers a question hides any note.
    Application->HideNote();
    if (gAnswers->Buttons.empty()) return ADefault;
    const int answer = gAnswers->Buttons.front();
    gAnswers->Buttons.pop_front();
    return answer;
  }
  QMessageBox box(DialogParent());
  box.setWindowTitle(QStringLiteral("Panes"));
  box.setText(QString::fromStdString(AText));
  if (!ADetail.empty()) box.setInformativeText(QString::fromStdString(ADetail));
  switch (AType) {
    case mtWarning:
      box.setIcon(QMessageBox::Warning);
      break;
    case mtError:
      box.setIcon(QMessageBox::Critical);
      break;
    case mtConfirmation:
      box.setIcon(QMessageBox::Question);
      break;
    default:
      box.setIcon(QMessageBox::Information);
  }
  // Each answer has an access key (Alt+D discards): its own where its text
  // marks one, else its first letter that no other answer has taken.
  std::vector<QString> labels;
  QString taken;
  for (const std::string& text : AButtons) {
    const QString label = QString::fromStdString(text);
    const qsizetype mark = label.indexOf(u'&');
    if (mark >= 0 && mark + 1 < label.size()) taken += label.at(mark + 1).toLower();
  }
  for (const std::string& text : AButtons) {
    QString label = QString::fromStdString(text);
    if (!label.contains(u'&')) {
      for (qsizetype i = 0; i < label.size(); ++i)
        if (label.at(i).isLetter() && !taken.contains(label.at(i).toLower())) {
          taken += label.at(i).toLower();
          label.insert(i, u'&');
          break;
        }
    }
    labels.push_back(label);
  }
  std::vector<QPushButton*> buttons;
  for (size_t i = 0; i < AButtons.size(); ++i) {
    const int index = static_cast<int>(i);
    const QMessageBox::ButtonRole role = index == AEscape    ? QMessageBox::RejectRole
                                         : index == ADefault ? QMessageBox::AcceptRole
                                                             : QMessageBox::DestructiveRole;
    buttons.push_back(box.addButton(labels[i], role));
  }
  if (ADefault >= 0 && ADefault < static_cast<int>(buttons.size()))
    box.setDefaultButton(buttons[static_cast<size_t>(ADefault)]);
  if (AEscape >= 0 && AEscape < static_cast<int>(buttons.size()))
    box.setEscapeButton(buttons[static_cast<size_t>(AEscape)]);
  box.exec();
  for (size_t i = 0; i < buttons.size(); ++i)
    if (box.clickedButton() == buttons[i]) return static_cast<int>(i);
  return AEscape;
}

bool PromptForFileName(std::string& AFileName, const std::string& AFilter,
                       const std::string& ADefaultExt, const std::string& ATitle,
                       bool ASaveDialog) {
  if (gAnswers != nullptr) {
    gAnswers->Shown.push_back(ATitle);
    std::string answer;
    if (!gAnswers->FileNames.empty()) {
      answer = gAnswers->FileNames.front();
      gAnswers->FileNames.pop_front();
    }
    if (answer.empty()) return false;
    AFileName = answer;
    return true;
  }
  QFileDialog dialog(DialogParent(), QString::fromStdString(ATitle));
  dialog.setAcceptMode(ASaveDialog ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(ASaveDialog ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilter(QString::fromStdString(AFilter));
  dialog.setDefaultSuffix(QString::fromStdString(ADefaultExt));
  if (!AFileName.empty()) dialog.selectFile(QString::fromStdString(AFileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  AFileName = dialog.selectedFiles().constFirst().toStdString();
  return true;
}

void ShowTableDlg(const std::string& ATitle, const std::vector<std::string>& AHeadings,
                  const std::vector<std::vector<std::string>>& ARows) {
  if (gAnswers != nullptr) {
    std::string shown = ATitle;
    for (const auto& row : ARows) {
      shown += "\n";
      for (size_t i = 0; i < row.size(); ++i) shown += (i > 0 ? "\t" : "") + row[i];
    }
    gAnswers->Shown.push_back(shown);
    return;
  }
  QDialog dialog(DialogParent());
  dialog.setWindowTitle(QString::fromStdString(ATitle));
  auto* table =
      new QTableWidget(static_cast<int>(ARows.size()), static_cast<int>(AHeadings.size()));
  table->setAccessibleName(QString::fromStdString(ATitle));
  QStringList headings;
  for (const std::string& heading : AHeadings) headings << QString::fromStdString(heading);
  table->setHorizontalHeaderLabels(headings);
  table->verticalHeader()->hide();
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setWordWrap(false);
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
  for (size_t r = 0; r < ARows.size(); ++r)
    for (size_t c = 0; c < ARows[r].size() && c < AHeadings.size(); ++c)
      table->setItem(static_cast<int>(r), static_cast<int>(c),
                     new QTableWidgetItem(QString::fromStdString(ARows[r][c])));
  table->resizeColumnsToContents();
  table->horizontalHeader()->setStretchLastSection(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(table);
  layout->addWidget(buttons);
  int width = table->verticalScrollBar()->sizeHint().width() + 2 * table->frameWidth();
  for (int c = 0; c < table->columnCount(); ++c) width += table->columnWidth(c);
  const int height = table->horizontalHeader()->sizeHint().height() +
                     table->rowCount() * table->verticalHeader()->defaultSectionSize() +
                     buttons->sizeHint().height() + 40;
  dialog.resize(std::min(width + 40, 900), std::min(height, 640));
  table->setFocus();
  dialog.exec();
}
