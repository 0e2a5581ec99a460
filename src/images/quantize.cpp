#include "images/quantize.h"

#include <algorithm>
#include <limits>

namespace vorna {

namespace {

using Rgb = std::array<uint8_t, 3>;

uint32_t Key(const uint8_t* rgba) {
  return (static_cast<uint32_t>(rgba[0]) << 16) | (static_cast<uint32_t>(rgba[1]) << 8) | rgba[2];
}

struct Colour {
  Rgb rgb;
  uint32_t count;
};

// Distinct colours of the image with their pixel counts, ordered by key (a radix sort: a capture
// has hundreds of thousands of pixels).
std::vector<Colour> CountColours(const Image& image, std::vector<uint32_t>* sorted_keys) {
  const size_t n = static_cast<size_t>(image.width) * image.height;
  std::vector<uint32_t> keys(n), scratch(n);
  for (size_t i = 0; i < n; ++i) keys[i] = Key(image.rgba.data() + i * 4);
  for (int shift = 0; shift < 24; shift += 8) {
    size_t offsets[257] = {};
    for (uint32_t k : keys) ++offsets[((k >> shift) & 0xFF) + 1];
    for (int b = 0; b < 256; ++b) offsets[b + 1] += offsets[b];
    for (uint32_t k : keys) scratch[offsets[(k >> shift) & 0xFF]++] = k;
    keys.swap(scratch);
  }
  std::vector<Colour> colours;
  sorted_keys->clear();
  for (size_t i = 0; i < n;) {
    size_t j = i;
    while (j < n && keys[j] == keys[i]) ++j;
    const uint32_t k = keys[i];
    colours.push_back(
        {{static_cast<uint8_t>(k >> 16), static_cast<uint8_t>(k >> 8), static_cast<uint8_t>(k)},
         static_cast<uint32_t>(j - i)});
    sorted_keys->push_back(k);
    i = j;
  }
  return colours;
}

struct Stats {
  double count = 0;
  double sum[3] = {0, 0, 0};
  double squares[3] = {0, 0, 0};

  void Add(const Colour& c) {
    count += c.count;
    for (int ch = 0; ch < 3; ++ch) {
      sum[ch] += static_cast<double>(c.count) * c.rgb[ch];
      squares[ch] += static_cast<double>(c.count) * c.rgb[ch] * c.rgb[ch];
    }
  }
  double Variance(int ch) const { return squares[ch] - sum[ch] * sum[ch] / count; }
  double Error() const { return count > 0 ? Variance(0) + Variance(1) + Variance(2) : 0; }
  Rgb Mean() const {
    Rgb mean;
    for (int ch = 0; ch < 3; ++ch) {
      mean[ch] = static_cast<uint8_t>(std::clamp(sum[ch] / count + 0.5, 0.0, 255.0));
    }
    return mean;
  }
};

Stats Difference(const Stats& a, const Stats& b) {
  Stats d;
  d.count = a.count - b.count;
  for (int ch = 0; ch < 3; ++ch) {
    d.sum[ch] = a.sum[ch] - b.sum[ch];
    d.squares[ch] = a.squares[ch] - b.squares[ch];
  }
  return d;
}

struct Box {
  size_t begin;
  size_t end;
  Stats stats;
};

Stats BoxStats(const std::vector<Colour>& colours, size_t begin, size_t end) {
  Stats s;
  for (size_t i = begin; i < end; ++i) s.Add(colours[i]);
  return s;
}

// Splits `box` along its channel of largest variance where the two halves' errors add up to
// the least. The colours of the box are reordered.
void SplitBox(std::vector<Colour>& colours, const Box& box, Box* low, Box* high) {
  int axis = 0;
  for (int ch = 1; ch < 3; ++ch) {
    if (box.stats.Variance(ch) > box.stats.Variance(axis)) axis = ch;
  }
  std::sort(colours.begin() + box.begin, colours.begin() + box.end,
            [axis](const Colour& a, const Colour& b) { return a.rgb[axis] < b.rgb[axis]; });
  Stats prefix;
  double best_error = std::numeric_limits<double>::infinity();
  size_t best = box.begin + 1;
  for (size_t i = box.begin; i + 1 < box.end; ++i) {
    prefix.Add(colours[i]);
    const double error = prefix.Error() + Difference(box.stats, prefix).Error();
    if (error < best_error) {
      best_error = error;
      best = i + 1;
    }
  }
  *low = {box.begin, best, BoxStats(colours, box.begin, best)};
  *high = {best, box.end, BoxStats(colours, best, box.end)};
}

int Distance(const Rgb& a, const Rgb& b) {
  int d = 0;
  for (int ch = 0; ch < 3; ++ch) d += (a[ch] - b[ch]) * (a[ch] - b[ch]);
  return d;
}

// Nearest palette colour: the palette ordered by green, searched outwards from the query's
// green until the green difference alone exceeds the best distance.
class NearestColour {
 public:
  explicit NearestColour(const std::vector<Rgb>& palette) : palette_(palette) {
    for (size_t i = 0; i < palette.size(); ++i) order_.push_back(static_cast<uint8_t>(i));
    std::sort(order_.begin(), order_.end(),
              [&](uint8_t a, uint8_t b) { return palette[a][1] < palette[b][1]; });
  }

  uint8_t Find(const Rgb& colour) const {
    const auto start =
        std::lower_bound(order_.begin(), order_.end(), colour[1],
                         [&](uint8_t index, uint8_t green) { return palette_[index][1] < green; });
    int best_distance = std::numeric_limits<int>::max();
    uint8_t best = order_.front();
    auto consider = [&](uint8_t index) {
      const int dg = palette_[index][1] - colour[1];
      if (dg * dg >= best_distance) return false;
      const int d = Distance(palette_[index], colour);
      if (d < best_distance) {
        best_distance = d;
        best = index;
      }
      return true;
    };
    for (auto it = start; it != order_.end() && consider(*it); ++it) {
    }
    for (auto it = start; it != order_.begin() && consider(*(it - 1)); --it) {
    }
    return best;
  }

 private:
  const std::vector<Rgb>& palette_;
  std::vector<uint8_t> order_;
};

std::vector<Rgb> MedianCut(std::vector<Colour> colours, int max_colours) {
  std::vector<Box> boxes = {{0, colours.size(), BoxStats(colours, 0, colours.size())}};
  while (static_cast<int>(boxes.size()) < max_colours) {
    size_t worst = boxes.size();
    for (size_t i = 0; i < boxes.size(); ++i) {
      if (boxes[i].end - boxes[i].begin < 2) continue;
      if (worst == boxes.size() || boxes[i].stats.Error() > boxes[worst].stats.Error()) worst = i;
    }
    if (worst == boxes.size()) break;
    Box low, high;
    SplitBox(colours, boxes[worst], &low, &high);
    boxes[worst] = low;
    boxes.push_back(high);
  }
  std::vector<Rgb> palette;
  for (const Box& box : boxes) palette.push_back(box.stats.Mean());
  return palette;
}

// One k-means round: each palette colour moves to the mean of the colours nearest to it.
void Refine(const std::vector<Colour>& colours, std::vector<Rgb>* palette) {
  std::vector<Stats> members(palette->size());
  const NearestColour nearest(*palette);
  for (const Colour& c : colours) members[nearest.Find(c.rgb)].Add(c);
  for (size_t i = 0; i < palette->size(); ++i) {
    if (members[i].count > 0) (*palette)[i] = members[i].Mean();
  }
}

}  // namespace

bool QuantizeImage(const Image& image, int max_colours, PalettedImage* out) {
  if (!image.valid() || max_colours < 2 || max_colours > 256) return false;
  std::vector<uint32_t> keys;
  const std::vector<Colour> colours = CountColours(image, &keys);
  std::vector<Rgb> palette;
  if (static_cast<int>(colours.size()) <= max_colours) {
    for (const Colour& c : colours) palette.push_back(c.rgb);
  } else {
    palette = MedianCut(colours, max_colours);
    for (int round = 0; round < 2; ++round) Refine(colours, &palette);
  }
  // Every distinct colour's palette index, in key order, then every pixel's by its key.
  std::vector<uint8_t> index_of_colour(colours.size());
  const NearestColour nearest(palette);
  for (size_t i = 0; i < colours.size(); ++i) index_of_colour[i] = nearest.Find(colours[i].rgb);

  out->width = image.width;
  out->height = image.height;
  out->palette = std::move(palette);
  out->indices.resize(static_cast<size_t>(image.width) * image.height);
  for (size_t i = 0; i < out->indices.size(); ++i) {
    const uint32_t k = Key(image.rgba.data() + i * 4);
    out->indices[i] = index_of_colour[std::lower_bound(keys.begin(), keys.end(), k) - keys.begin()];
  }
  return true;
}

}  // namespace vorna
