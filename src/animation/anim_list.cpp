#include "animation/anim_list.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <utility>

namespace vorna {

namespace {

int AnimCount(const Model& model) {
  assert(model.anim_count >= 0 && model.anim_count <= kMaxAnims);
  return model.anim_count;
}

// The blanks a "%s" or "%d" conversion skips and stops at.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void SkipBlanks(std::string_view& text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  text.remove_prefix(i);
}

// A "%d" conversion: blanks, an optional sign, digits. Out-of-range numbers saturate.
bool ReadNumber(std::string_view& text, int32_t& value) {
  SkipBlanks(text);
  size_t sign_length = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    sign_length = 1;
  }
  size_t end = sign_length;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  if (end == sign_length) return false;
  int64_t magnitude = 0;
  for (size_t i = sign_length; i < end; ++i) {
    magnitude = std::min<int64_t>(magnitude * 10 + (text[i] - '0'), int64_t{1} << 32);
  }
  const int64_t signed_value = negative ? -magnitude : magnitude;
  value = static_cast<int32_t>(std::clamp<int64_t>(
      signed_value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
  text.remove_prefix(end);
  return true;
}

// A "%s" conversion: blanks, then everything up to the next blank.
bool ReadWord(std::string_view& text, std::string_view& word) {
  SkipBlanks(text);
  size_t end = 0;
  while (end < text.size() && !IsBlank(text[end])) ++end;
  if (end == 0) return false;
  word = text.substr(0, end);
  text.remove_prefix(end);
  return true;
}

std::string ThreeDigits(int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%03d", static_cast<int>(value));
  return text;
}

}  // namespace

void ClampAnimRanges(Model& model) {
  assert(model.motion_count >= 0 && model.motion_count <= kMaxMotions);
  const int last = std::max(model.motion_count - 1, 0);
  // Negative Motion numbers only come from files; playing one would show a Motion that does not
  // exist, so they are brought to the first Motion as well.
  for (int a = 0; a < AnimCount(model); ++a) {
    Anim& anim = model.anims[a];
    anim.first_motion = std::clamp(anim.first_motion, 0, last);
    anim.last_motion = std::clamp(anim.last_motion, 0, last);
  }
}

std::string FormatAnimEntry(const Anim& anim) {
  std::string entry = ThreeDigits(anim.first_motion + 1);
  entry += ' ';
  entry += ThreeDigits(anim.last_motion + 1);
  entry += ' ';
  entry += anim.name;
  entry += ' ';
  if (anim.loop) entry += kLoopLabel;
  return entry;
}

Anim ParseAnimEntry(std::string_view entry) {
  // Each conversion stops the reading when it fails, as scanf does; what was not read stays at
  // its default.
  int32_t first = 0;
  int32_t last = 0;
  std::string_view name;
  std::string_view label;
  if (ReadNumber(entry, first) && ReadNumber(entry, last) && ReadWord(entry, name)) {
    ReadWord(entry, label);
  }
  Anim anim;
  anim.first_motion = static_cast<int32_t>(static_cast<int64_t>(first) - 1);
  anim.last_motion = static_cast<int32_t>(static_cast<int64_t>(last) - 1);
  anim.name = ClampField(name, kAnimNameSize);
  anim.loop = label == kLoopLabel ? 1 : 0;
  return anim;
}

void EntryList::Append(std::string entry) {
  entries.push_back(std::move(entry));
  selected = static_cast<int>(entries.size()) - 1;
}

void EntryList::Replace(std::string entry) {
  if (!HasSelection()) {
    entries.push_back(std::move(entry));
    selected = -1;
    return;
  }
  entries[selected] = std::move(entry);
}

void EntryList::DeleteSelected() {
  if (!HasSelection()) return;
  entries.erase(entries.begin() + selected);
  if (selected >= static_cast<int>(entries.size())) selected = static_cast<int>(entries.size()) - 1;
}

void EntryList::MoveSelectedUp() {
  if (!HasSelection() || selected == 0) return;
  std::swap(entries[selected], entries[selected - 1]);
  --selected;
}

void EntryList::MoveSelectedDown() {
  if (!HasSelection() || selected + 1 >= static_cast<int>(entries.size())) return;
  std::swap(entries[selected], entries[selected + 1]);
  ++selected;
}

std::string AnimEntryFromControls(int first_index, int last_index, std::string_view name,
                                  bool loop) {
  Anim anim;
  anim.first_motion = first_index;
  anim.last_motion = last_index;
  anim.name = ClampField(name, kAnimNameInputLimit + 1);
  anim.loop = loop ? 1 : 0;
  return FormatAnimEntry(anim);
}

EntryList OpenAnimDialog(Model& model) {
  EntryList list;
  list.entries = AnimChoiceEntries(model);
  list.selected = list.entries.empty() ? -1 : 0;
  return list;
}

bool ApplyAnimDialog(Model& model, Host& host, const EntryList& list) {
  if (list.entries.size() >= static_cast<size_t>(kMaxAnims)) {
    host.Message("アニメの数が制限の 256 個を越えています\nいくつか削除してください",
                 MessageIcon::kNone);
    return false;
  }
  for (Anim& anim : model.anims) anim = Anim{};
  model.anim_count = static_cast<int32_t>(list.entries.size());
  for (int i = 0; i < model.anim_count; ++i) model.anims[i] = ParseAnimEntry(list.entries[i]);
  if (model.anim_count == 0) {
    model.current_anim = -1;
  } else if (model.current_anim < 0) {
    model.current_anim = 0;
  } else if (model.current_anim >= model.anim_count) {
    // A selection beyond the deleted Anims would play a cleared record; the nearest Anim that
    // still exists takes its place.
    model.current_anim = model.anim_count - 1;
  }
  return true;
}

std::vector<std::string> AnimChoiceEntries(Model& model) {
  ClampAnimRanges(model);
  std::vector<std::string> entries;
  for (int a = 0; a < AnimCount(model); ++a) entries.push_back(FormatAnimEntry(model.anims[a]));
  return entries;
}

int InitialAnimChoice(const Model& model) {
  return model.current_anim >= 0 && model.current_anim < AnimCount(model) ? model.current_anim : -1;
}

void ChooseAnim(Model& model, int selected) {
  model.current_anim = selected >= 0 && selected < AnimCount(model) ? selected : -1;
}

}  // namespace vorna
