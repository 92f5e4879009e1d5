#pragma once
// The About box: the window's title, a painted background, the version and credits at the lower
// right and an OK button.
#include <QDialog>

class QLabel;
class QPushButton;

namespace orvo::ui {

class AboutDialog final : public QDialog {
  Q_OBJECT
 public:
  explicit AboutDialog(QWidget* parent);
  QLabel* Text() const { return text_; }
  QPushButton* OkButton() const { return ok_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QLabel* text_;
  QPushButton* ok_;
};

// The text of the box: "Version " + version, then the credit lines.
QString AboutText();
void ShowAboutBox(QWidget* parent);

}  // namespace orvo::ui
