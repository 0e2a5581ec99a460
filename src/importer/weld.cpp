#include "importer/weld.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vorna {

namespace {

constexpr uint32_t kEmpty = 0xFFFFFFFFu;
constexpr uint64_t kEmptySlot = ~uint64_t{0};

uint64_t Mix(uint64_t h, uint32_t value) {
  h ^= value;
  h *= 0x100000001B3ull;  // FNV-1a's prime, one 32-bit word at a time
  return h;
}

// Spreads every input bit over the low bits the table is indexed with (MurmurHash3's finaliser).
uint64_t Finish(uint64_t h) {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  return h ^ (h >> 33);
}

template <size_t N>
uint64_t MixFloats(uint64_t h, const std::array<float, N>& values) {
  for (const float v : values) h = Mix(h, std::bit_cast<uint32_t>(v));
  return h;
}

template <size_t N>
bool SameBits(const std::array<float, N>& a, const std::array<float, N>& b) {
  return std::memcmp(a.data(), b.data(), sizeof(float) * N) == 0;
}

class Welder {
 public:
  explicit Welder(const SceneMesh& mesh) : mesh_(mesh), skinned_(!mesh.bones.empty()) {}

  uint64_t Hash(size_t v) const {
    uint64_t h = MixFloats(0xCBF29CE484222325ull, mesh_.positions[v]);
    if (!mesh_.normals.empty()) h = MixFloats(h, mesh_.normals[v]);
    if (!mesh_.uvs.empty()) h = MixFloats(h, mesh_.uvs[v]);
    if (skinned_) {
      for (uint32_t i = mesh_.influence_start[v]; i < mesh_.influence_start[v + 1]; ++i) {
        h = Mix(Mix(h, mesh_.influences[i].bone),
                std::bit_cast<uint32_t>(mesh_.influences[i].weight));
      }
    }
    return Finish(h);
  }

  bool Same(size_t a, size_t b) const {
    if (!SameBits(mesh_.positions[a], mesh_.positions[b])) return false;
    if (!mesh_.normals.empty() && !SameBits(mesh_.normals[a], mesh_.normals[b])) return false;
    if (!mesh_.uvs.empty() && !SameBits(mesh_.uvs[a], mesh_.uvs[b])) return false;
    if (!skinned_) return true;
    const uint32_t first_a = mesh_.influence_start[a], first_b = mesh_.influence_start[b];
    const uint32_t count = mesh_.influence_start[a + 1] - first_a;
    if (count != mesh_.influence_start[b + 1] - first_b) return false;
    for (uint32_t i = 0; i < count; ++i) {
      const SceneInfluence& x = mesh_.influences[first_a + i];
      const SceneInfluence& y = mesh_.influences[first_b + i];
      if (x.bone != y.bone ||
          std::bit_cast<uint32_t>(x.weight) != std::bit_cast<uint32_t>(y.weight)) {
        return false;
      }
    }
    return true;
  }

 private:
  const SceneMesh& mesh_;
  bool skinned_;
};

template <typename T>
void Compact(std::vector<T>& values, const std::vector<uint32_t>& kept) {
  if (values.empty()) return;
  for (size_t i = 0; i < kept.size(); ++i) values[i] = values[kept[i]];
  values.resize(kept.size());
}

}  // namespace

void WeldVertices(SceneMesh& mesh) {
  const size_t n = mesh.positions.size();
  if (n < 2) return;
  const Welder welder(mesh);
  // Open addressing, at most half full, grown as kept vertices arrive: a table sized for the
  // kept vertices rather than for every corner stays in the caches far longer. Each slot holds
  // the upper half of its vertex's hash beside the kept number, so that most other vertices are
  // told apart without reading theirs.
  size_t capacity = 1024;
  std::vector<uint64_t> slots(capacity, kEmptySlot);
  std::vector<uint32_t> target(n);  // the kept vertex each vertex becomes, numbered among kept
  std::vector<uint32_t> kept;       // the original index of each kept vertex
  std::vector<uint64_t> hashes(n);
  for (size_t v = 0; v < n; ++v) hashes[v] = welder.Hash(v);
  auto place = [&](uint64_t hash, uint32_t number) {
    size_t slot = hash & (capacity - 1);
    while (slots[slot] != kEmptySlot) slot = (slot + 1) & (capacity - 1);
    slots[slot] = (hash & 0xFFFFFFFF00000000ull) | number;
  };
  // Far enough ahead that the slot is in the cache when its vertex comes.
  constexpr size_t kAhead = 16;
  for (size_t v = 0; v < n; ++v) {
    if (v + kAhead < n) __builtin_prefetch(&slots[hashes[v + kAhead] & (capacity - 1)]);
    const uint64_t hash = hashes[v];
    size_t slot = hash & (capacity - 1);
    uint32_t found = kEmpty;
    for (; slots[slot] != kEmptySlot; slot = (slot + 1) & (capacity - 1)) {
      const uint32_t number = static_cast<uint32_t>(slots[slot]);
      if ((slots[slot] >> 32) == (hash >> 32) && welder.Same(kept[number], v)) {
        found = number;
        break;
      }
    }
    if (found == kEmpty) {
      found = static_cast<uint32_t>(kept.size());
      kept.push_back(static_cast<uint32_t>(v));
      if (kept.size() * 2 > capacity) {
        capacity *= 2;
        slots.assign(capacity, kEmptySlot);
        for (uint32_t k = 0; k < kept.size(); ++k) place(hashes[kept[k]], k);
      } else {
        slots[slot] = (hash & 0xFFFFFFFF00000000ull) | found;
      }
    }
    target[v] = found;
  }
  if (kept.size() == n) return;
  for (uint32_t& corner : mesh.triangles) corner = target[corner];
  if (!mesh.bones.empty()) {
    std::vector<uint32_t> start(kept.size() + 1, 0);
    std::vector<SceneInfluence> influences;
    for (size_t i = 0; i < kept.size(); ++i) {
      const uint32_t v = kept[i];
      influences.insert(influences.end(), mesh.influences.begin() + mesh.influence_start[v],
                        mesh.influences.begin() + mesh.influence_start[v + 1]);
      start[i + 1] = static_cast<uint32_t>(influences.size());
    }
    mesh.influence_start = std::move(start);
    mesh.influences = std::move(influences);
  }
  Compact(mesh.positions, kept);
  Compact(mesh.normals, kept);
  Compact(mesh.uvs, kept);
}

}  // namespace vorna
