// What start-up is measured against: a bare Qt window with the seven
// buttons of the toolbar and nothing else, as a Qt programmer would write it.
#include <QApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("bare"));
  auto* row = new QHBoxLayout;
  for (const char* caption :
       {"建立", "水平分割", "垂直分割", "刪除視窗", "離開", "MEMO", "StringGrid"})
    row->addWidget(new QPushButton(QString::fromUtf8(caption)));
  row->addStretch();
  auto* column = new QVBoxLayout(&window);
  column->addLayout(row);
  column->addStretch();
  window.resize(696, 480);
  window.show();
  return QApplication::exec();
}
