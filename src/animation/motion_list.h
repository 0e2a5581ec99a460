// The Motion list as the motion strip shows it: one button per Motion, slots 0 .. motion_count - 1
// without gaps, exactly those slots in use, and the current Motion's button pressed.
//
// The strip itself (buttons, thumbnails, pager) belongs to the GUI; every operation here changes
// the Motion table and tells the caller what the strip has to do. Every operation that changes the
// table must be preceded by stopping playback; that is the caller's step too.
#pragma once

#include <span>
#include <string>

#include "model/host.h"
#include "model/model.h"

namespace vorna {

// Copies the pose of `from` (three angle arrays, translations and scales of all kMaxUnits unit
// slots) into `to`; `in_use` is not touched.
void CopyPose(const Motion& from, Motion& to);

// The neutral pose: every angle and translation 0, every scale 1.
void ClearPose(Motion& motion);

// Number shown for Motion `motion` in the Motion combo boxes: motion + 1 right-aligned to three
// characters ("%3d"), which keeps numeric order in a sorted list.
std::string MotionNumberLabel(int motion);

// Appends a copy of the current Motion at slot motion_count and makes it current. When all
// kMaxMotions slots are taken, shows "モーションはこれ以上追加できません" and returns false with
// nothing changed. On success the strip appends a pressed button for current_motion, with a
// thumbnail of it.
bool AddMotion(Model& model, Host& host);

struct MotionDeletion {
  bool deleted = false;
  // Index of the thumbnail to remove from the strip's images (the deleted Motion's).
  int removed_thumbnail = -1;
};

// Removes the current Motion; the later Motions move down one slot and the freed last slot gets
// the neutral pose with in_use 0. current_motion keeps its number (now the Motion that followed
// the deleted one), or becomes the new last Motion when the last one was deleted. Does nothing
// with fewer than 2 Motions or a current Motion outside the list. The strip removes thumbnail
// `removed_thumbnail`, deletes its last button and presses button current_motion.
MotionDeletion DeleteCurrentMotion(Model& model);

// Makes the Motion table follow the order the user gave the strip's buttons: `order`[p] is the
// Motion (numbered as before the reorder) whose button now stands at position p, and the first
// `saved_count` Motions are those that existed when the reorder began. Motions missing from
// `order` are dropped; a position naming no such Motion, or one already placed, gets the neutral
// pose. An empty `order` leaves one neutral Motion. current_motion becomes the last Motion.
// Returns false, with nothing changed, when `order` holds more than kMaxMotions positions. On
// success the strip is rebuilt: every button and thumbnail removed, then one per Motion in order.
bool ApplyStripOrder(Model& model, int saved_count, std::span<const int> order);

}  // namespace vorna
