// The drawing area: paints a section picture, keeping it for every repaint.
#pragma once

#include <QFrame>

#include "plot/section_scale.h"

namespace fiberview {

class SectionPlotWidget : public QFrame {
  Q_OBJECT

 public:
  explicit SectionPlotWidget(QWidget* parent = nullptr);

  // Inner drawing area in twips, the size the scaling step fits a section into.
  int innerWidthTwips() const;
  int innerHeightTwips() const;

  void setPicture(SectionPicture picture);
  const SectionPicture& picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  SectionPicture picture_;
};

}  // namespace fiberview
