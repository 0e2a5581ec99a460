// The Motion strip: one checkable 32 x 32 thumbnail button per Motion, exactly one pressed (the
// current Motion's), inside a pager that shows scroll arrows when the buttons do not fit, and the
// customise dialog that reorders and removes Motions. The Motion table is changed only by the
// core (animation/motion_list.h); the strip keeps its buttons and thumbnails in step with it.
#pragma once

#include <QDialog>
#include <QImage>
#include <QWidget>
#include <functional>
#include <vector>

#include "images/image.h"
#include "model/host.h"
#include "model/model.h"

class QButtonGroup;
class QHBoxLayout;
class QListWidget;
class QScrollArea;
class QToolButton;

namespace vorna {

// What the strip needs from the window.
struct MotionStripHooks {
  // Ends playback (timer, check mark, projection) as every other stop does.
  std::function<void()> stop_playback;
  // The thumbnail of current_motion. Making it also stops playback, turns the view to the front
  // and draws a frame. A null image leaves the button without a picture.
  std::function<QImage()> make_thumbnail;
};

// `image` as a QImage (a copy); null for an empty or inconsistent image.
QImage ToQImage(const Image& image);

class MotionStrip : public QWidget {
  Q_OBJECT

 public:
  // Every button is this square; the pager is one button high plus 2 pixels.
  static constexpr int kButtonSide = 38;

  MotionStrip(Model& model, Host& host, MotionStripHooks hooks, QWidget* parent = nullptr);

  // Deletes every button, and every thumbnail when `with_images`.
  void ClearMotionStrip(bool with_images);
  // Appends the thumbnail of current_motion and inserts the pressed button of Motion `motion`.
  void AddMotionButton(int motion);
  // Makes current_motion's thumbnail again (after a look or geometry change) in its place.
  void RefreshCurrentThumbnail();
  // Presses the button of current_motion.
  void SyncPressed();
  // One button per Motion of the table, each with a new thumbnail; current_motion ends as the
  // last Motion.
  void RebuildFromTable();
  // One button per thumbnail given, each showing it, and the current Motion's pressed (undo and
  // redo put back the strip of the state they return to).
  void ShowThumbnails(const std::vector<QImage>& thumbnails);

  // The add-motion command: appends a copy of the current Motion with its button.
  void AddMotion();
  // The delete-motion command: with two Motions or more asks
  // "選択されているモーションを削除しますか？" and on Yes removes the current Motion.
  void DeleteCurrentMotion();
  // The reorder-and-delete command: the customise dialog, then the Motion table in its order.
  void Customize();

  int ButtonCount() const { return static_cast<int>(buttons_.size()); }
  // The position of current_motion's button, -1 when it has none.
  int CurrentPosition() const;
  QToolButton* ButtonAt(int position) const { return buttons_.at(position); }
  const std::vector<QImage>& Thumbnails() const { return thumbnails_; }

 signals:
  // A button was clicked: current_motion is its Motion; the view is drawn again.
  void motionChosen(int motion);
  // Motions were added, removed or reordered: the menus follow the Motion count.
  void motionsChanged();
  // The number of buttons changed: the pager and the window lay out again.
  void sizeChanged();

 protected:
  // Lets tests and the window replace the dialog; returns the new order (see ApplyStripOrder) or
  // nothing when the order is unchanged.
  virtual bool RunCustomizeDialog(std::vector<int>* order);

 private:
  void OnButtonClicked(int id);
  void ShowThumbnail(int position);
  // Inserts the pressed button of Motion `motion` (at the end) with its thumbnail.
  void InsertButton(int motion, QImage thumbnail);

  Model& model_;
  Host& host_;
  MotionStripHooks hooks_;
  QHBoxLayout* layout_;
  QButtonGroup* group_;
  std::vector<QToolButton*> buttons_;
  std::vector<QImage> thumbnails_;
};

// Holds the strip and scrolls it one button at a time with arrows that appear only when the
// buttons do not fit.
class MotionPager : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kArrowWidth = 15;

  MotionPager(Model& model, Host& host, MotionStripHooks hooks, QWidget* parent = nullptr);

  MotionStrip* strip() const { return strip_; }
  // One button high plus 2 pixels.
  int PreferredHeight() const { return MotionStrip::kButtonSide + 2; }
  QSize sizeHint() const override;
  // Shows or hides the arrows for the strip's current width and keeps the current Motion's
  // button in sight.
  void Recalculate();
  // Scrolls as little as needed to show the current Motion's button whole.
  void ShowCurrent();
  void ScrollBy(int buttons);
  int ScrollPosition() const;
  bool ArrowsShown() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  MotionStrip* strip_;
  QScrollArea* area_;
  QToolButton* left_;
  QToolButton* right_;
};

// The customise dialog: every button of the strip listed as "ﾓｰｼｮﾝ%2d" with its number when the
// dialog opened and its thumbnail; entries are moved, removed and reset, and closing applies.
class MotionCustomizeDialog : public QDialog {
  Q_OBJECT

 public:
  MotionCustomizeDialog(const std::vector<QImage>& thumbnails, int motion_count,
                        QWidget* parent = nullptr);

  // Motion numbers (0-based, as when the dialog opened) in their new order.
  std::vector<int> Order() const;
  QListWidget* list() const { return list_; }

  void MoveSelected(int step);
  void RemoveSelected();
  void Reset();

 private:
  void Fill();

  std::vector<QImage> thumbnails_;
  int motion_count_;
  QListWidget* list_;
};

}  // namespace vorna
