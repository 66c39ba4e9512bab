#pragma once
// The dialog "Программирования логотипа": loads a BMP picture, shows it, and writes it into the
// registrator as the user logo, a stream of one-bit pixels cut into numbered lines of 24 bytes,
// closed by the logo's width and height.

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/screen.h"

namespace kovrix {

/// Bytes of one logo line.
inline constexpr int kLogoLineBytes = 24;

/// Answers the pixel stream of the top-left width x height pixels of a picture: rows from the
/// top, each from the left, one bit per pixel (1 = any colour but pure white), the leftmost pixel
/// in the high bit, every row starting on a new byte. Pixels beyond the picture are white.
std::string LogoPixelStream(const QImage& picture, int width, int height);

/// Answers the logo lines of a pixel stream: 24 bytes each as 48 upper-case hexadecimal
/// characters, the last one padded with "00"; an empty stream has no lines.
std::vector<std::string> LogoLines(std::string_view stream);

/// The largest logo the registrator takes.
struct LogoLimits {
  int maxWidth = 0;
  int maxHeight = 0;
};

/// Answers the limits of a diagnostic reply: width = field 8, height = field 7 x 8 / field 8;
/// nothing when either field is missing, not a number, or field 8 is 0.
std::optional<LogoLimits> LogoLimitsFromDiagnostic(const ReplyRecord& reply);

class LogoProgramming : public Screen {
  Q_OBJECT

 public:
  explicit LogoProgramming(ScreenContext& context, QWidget* parent = nullptr);

  QLineEdit* PasswordBox() const { return password_; }
  QLineEdit* MaxWidthBox() const { return maxWidth_; }
  QLineEdit* MaxHeightBox() const { return maxHeight_; }
  QLineEdit* PictureWidthBox() const { return pictureWidth_; }
  QLineEdit* PictureHeightBox() const { return pictureHeight_; }
  QLineEdit* WidthBox() const { return width_; }
  QLineEdit* HeightBox() const { return height_; }
  QLabel* Preview() const { return preview_; }
  QProgressBar* Progress() const { return progress_; }
  QPushButton* OpenButton() const { return open_; }
  QPushButton* ProgramButton() const { return program_; }
  QPushButton* CloseButton() const { return close_; }

  /// The window does not close while the logo is being written.
  void reject() override;

 protected:
  void Activate() override;

 private:
  void OpenPicture();
  void Program();
  /// Sends one logo line; answers false, having shown why, when it was not taken.
  bool SendLine(int number, const std::string& line);
  void UpdateProgramButton();

  QLineEdit* password_ = nullptr;
  QLineEdit* maxWidth_ = nullptr;
  QLineEdit* maxHeight_ = nullptr;
  QLineEdit* pictureWidth_ = nullptr;
  QLineEdit* pictureHeight_ = nullptr;
  QLineEdit* width_ = nullptr;
  QLineEdit* height_ = nullptr;
  QLabel* preview_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* open_ = nullptr;
  QPushButton* program_ = nullptr;
  QPushButton* close_ = nullptr;
  QImage picture_;
  std::optional<LogoLimits> limits_;
  bool busy_ = false;
};

}  // namespace kovrix
