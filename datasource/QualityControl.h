// TFormQC, "Clarivo® - Quality Control & Virtual Rescanning": the window in which the operator
// reviews a page that failed the control panel's quality check. It shows the page, zooms, gives
// its figures, crops and turns it, and "rescans virtually": it fetches the page's unprocessed
// original once and reprocesses it with the settings of its sliders, always starting again from
// the original. "Continue" hands the image now shown back to the scan client.
//
// The view always shows a page block of its own (a copy of the page at first), so a rescan
// never writes into the page as it arrived: closing without "Continue" returns it unchanged.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "dibunit.h"
#include "globalmem.h"

class QComboBox;
class QLabel;
class QMenu;
class QAction;
class QPushButton;
class QRadioButton;
class QSlider;
class QStatusBar;
class QTimer;
class QWidget;
class TNorvaneImage;

// The slider positions and list choices of one reprocessing of the original.
struct TRescanSettings {
  int32_t Contrast = 0, Brightness = 0;              // -10 .. 10
  int32_t ThresholdContrast = 0, ThresholdArea = 0;  // -10 .. 10
  int32_t Deskew = 0;                                // -10 .. 10, half degrees
  int32_t Despeckle = 0;                             // 0 .. 20
  int32_t Method = 0;  // 0 "Linear", 1 "Dynamic", 2 "Advanced", 3 none
  friend bool operator==(const TRescanSettings&, const TRescanSettings&) = default;
};

// The shown page's kind that a reprocessing aims at: its depth and resolutions.
struct TRescanTarget {
  int32_t Depth = 0;
  int32_t XResolution = 0, YResolution = 0;
};

// One virtual rescan: a new page made from Original with the settings and the rotation index
// (0 .. 3 quarter turns), at the target's depth and resolution.
// Raises: the image operations' texts. Owns: the caller owns the new page.
std::unique_ptr<TDIB> ReprocessOriginal(const TDIB& Original, const TRescanSettings& Settings,
                                        int32_t Rotation, const TRescanTarget& Target);

// The control panel's quality limits that flag a page, as its settings ("QC") hold them.
struct TQualityLimits {
  int32_t MinBrightness = 32, MaxBrightness = 192;
  int32_t MinContrast = 32, MaxContrast = 192;
};
TQualityLimits ReadQualityLimits();

// Why the quality check flagged Page: its brightness and contrast as the check measures them,
// beside the allowed ranges.
QString FlaggedText(const TDIB& Page, const TQualityLimits& Limits);

// A deskew slider position (half degrees) as degrees and the direction of the turn.
QString DeskewText(int32_t Position);

// Rect (ends included) of an image of Width x Height as it lies on that image turned clockwise
// by Rotation quarter turns; the inverse is TurnRect(Turned, (4 - Rotation) % 4, turned width,
// turned height).
TRect TurnRect(const TRect& Rect, int32_t Rotation, int32_t Width, int32_t Height);

// TDialogoWait of DlgWait.h, shown while the original is fetched.
class TDialogoWait;

class TFormQC : public QDialog {
 public:
  using TFetchOriginal = std::function<win32::HGLOBAL()>;
  using TWhyNoOriginal = std::function<std::string()>;

  // FetchOriginal gives the unprocessed original's block (the window owns it) or nullptr;
  // WhyNoOriginal then says why.
  explicit TFormQC(TFetchOriginal FetchOriginal, QWidget* Owner = nullptr,
                   TWhyNoOriginal WhyNoOriginal = {});
  ~TFormQC() override;

  // Shows a copy of Page and why Limits flagged it; the view owns the copy.
  // Raises: Duplicate's text, the view's adoption failures.
  void ShowPage(const TDIB& Page, const TQualityLimits& Limits = {});
  // 0 "Linear", 1 "Dynamic", 2 "Advanced", 3 none checked.
  int32_t ThresholdMethod() const;

  // Event handlers; none of them raises.
  void FormShow();
  void StartRescanTimer();
  void RescanVirtually();
  void ComboBoxRotationChange();
  void ButtonCropClick();
  void Info1Click();
  void ImageObjectImageMouseDown(Qt::MouseButton Button, int X, int Y);
  void ImageObjectImageMouseMove(int X, int Y);
  void ImageObjectImageMouseUp(Qt::MouseButton Button, int X, int Y);
  void ImageObjectPaint();

  // The figures of the information box, its seven lines joined as the box shows them.
  QString InfoText() const;

  const TDIB* Original() const { return FOriginal.get(); }
  const TRect& Selection() const { return FSelection; }
  bool Selecting() const { return FSelecting; }
  int32_t LastRotation() const { return FLastRotation; }
  const TRescanSettings& Applied() const { return FApplied; }
  // Counts the reprocessings that ran, for the rescan's callers to tell a skipped one.
  int32_t Reprocessings() const { return FReprocessings; }

  TNorvaneImage* ImageObject;
  QWidget* Panel1;
  QLabel *LabelContrast, *LabelBrightness, *LabelThreshold, *LabelDeskew, *LabelDespeckle;
  // The sliders' positions, the deskew's as its angle and direction.
  QLabel *ValueContrast, *ValueBrightness, *ValueThresholdContrast, *ValueThresholdArea,
      *ValueDeskew, *ValueDespeckle;
  // Why the page was flagged, and where a rescan starts from.
  QLabel *LabelFlagged, *LabelFromOriginal;
  QSlider *TrackBarContrast, *TrackBarBrightness, *TrackBarThresholdContrast,
      *TrackBarThresholdArea, *TrackBarDeskew, *TrackBarDespeckle;
  QRadioButton *RadioButtonManual, *RadioButtonDynamic, *RadioButtonAdvanced;
  QComboBox* ComboBoxRotation;
  QPushButton *ButtonCrop, *ButtonOK;
  QStatusBar* StatusBar1;
  QMenu* PopupMenu1;
  QAction *FittoPage1, *FittoWidth1, *FittoHeight1, *OriginalSize1, *NoScaling1, *Antialiasing1,
      *Info1;
  QTimer* TimerRescan;

 protected:
  void showEvent(QShowEvent* Event) override;

 private:
  void BuildControls();
  void BuildMenu();
  // Runs Body for an event; a failure becomes a message box and the window stays usable.
  template <class Body>
  void Guard(const char* What, Body&& Fn);
  void Rescan();
  void FetchOriginalOnce();
  void EnableForOriginal();
  TRescanSettings Positions() const;
  TRescanTarget ViewTarget() const;
  void ShowWork(std::unique_ptr<TDIB> Work);
  void ShowValues();
  // The crop of the shown image to Area, kept for the rescans that follow.
  void KeepCrop(const TRect& Area);
  void CropAsKept(TDIB& Work, int32_t Rotation) const;
  void SetStatus(const QString& Text);
  // The selection in display pixels (Selecting) or scaled from image pixels.
  QRect DisplaySelection() const;

  TFetchOriginal FFetchOriginal;
  TWhyNoOriginal FWhyNoOriginal;
  std::unique_ptr<TDIB> FOriginal;
  bool FOriginalAsked = false;
  // The crops of rescanned images as one rectangle of the unturned rescan; a crop of the
  // panel's page, which no rescan can repeat, is only noted.
  std::optional<TRect> FCrop;
  bool FPanelPageCropped = false;
  bool FRescanning = false;
  TRescanSettings FApplied;
  bool FSelecting = false;
  TRect FSelection;
  int32_t FLastRotation = 0;
  int32_t FReprocessings = 0;
};

// The quality review of a flagged page: the window shows a copy of the page modally, with the
// control panel's quality limits; when it is closed with "Continue" the page takes over the
// image shown. The page neither owns its block before nor after.
void ReviewFlaggedPage(TDIB& Page, const TFormQC::TFetchOriginal& FetchOriginal,
                       const TFormQC::TWhyNoOriginal& WhyNoOriginal = {});
