#pragma once
// Dialog units to pixels from the dialog font, as the dialog templates expect:
// a horizontal unit is a quarter of the font's average character width, a vertical
// unit an eighth of its character height.

#include <QFont>
#include <QRect>

namespace sonoleaf::dialogs {

class DialogUnitConverter {
  public:
    explicit DialogUnitConverter(const QFont& dialogFont);

    int AverageCharWidth() const { return averageCharWidth_; }
    int CharHeight() const { return charHeight_; }

    int XToPixels(int x) const;
    int YToPixels(int y) const;
    QRect ToPixels(int x, int y, int width, int height) const;

  private:
    int averageCharWidth_;
    int charHeight_;
};

// The desktop's standard UI font, which stands in for the templates' dialog font.
QFont StandardDialogFont();

// a * b / c rounded to the nearest whole number, halves away from zero.
int MulDiv(int a, int b, int c);

}  // namespace sonoleaf::dialogs
