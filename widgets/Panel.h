#pragma once

#include <memory>

#include "widgets/Control.h"

struct TPanelCaption;

// A raised, one-pixel bevelled panel with its caption centred.
class TPanel : public TWinControl {
 public:
  explicit TPanel(TComponent* AOwner);
  ~TPanel() override;

  TRect ClientRect() const override;
  int BevelWidth() const { return 1; }

  // Layer internals: a windowless panel's face, drawn by its handle.
  void PaintFace(QPainter& APainter, const QRect& AArea, const QRegion& APainted,
                 const QWidget* AHandle) override;
  bool PaintsOpaque() const override { return !IsWindowed(); }

 protected:
  // A panel without a widget of its own (see TWinControl).
  TPanel(TComponent* AOwner, TWindowless);
  void TextChanged() override;

 private:
  // A windowless panel's caption as last laid out.
  std::shared_ptr<const TPanelCaption> FCaption;
};
