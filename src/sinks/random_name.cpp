#include "sinks/random_name.h"

#include <chrono>
#include <cstdint>
#include <random>
#include <string_view>

namespace malha {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// 64 bits mixed so that inputs differing in one bit differ in about half.
std::uint64_t mix(std::uint64_t value) {
  value ^= value >> 30;
  value *= 0xBF58476D1CE4E5B9u;
  value ^= value >> 27;
  value *= 0x94D049BB133111EBu;
  return value ^ (value >> 31);
}

}  // namespace

std::string random_name_part(unsigned attempt) {
  std::uint64_t bits[2] = {0, 0};
  try {
    std::random_device source;
    for (std::uint64_t& word : bits) {
      word = (static_cast<std::uint64_t>(source()) << 32) ^ source();
    }
  } catch (...) {
    // No random source: what differs between calls, mixed.
    const auto now = static_cast<std::uint64_t>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    const auto wall = static_cast<std::uint64_t>(
        std::chrono::system_clock::now().time_since_epoch().count());
    const auto place = reinterpret_cast<std::uintptr_t>(&bits);
    bits[0] = mix(now ^ mix(place + attempt));
    bits[1] = mix(wall ^ mix(bits[0] + attempt));
  }
  std::string part(kRandomNameLength, ' ');
  for (std::size_t i = 0; i < part.size(); ++i) {
    std::uint64_t& word = bits[i % 2];
    part[i] = kAlphabet[word % kAlphabet.size()];
    word /= kAlphabet.size();
  }
  return part;
}

bool is_random_name_part(std::string_view text) {
  if (text.size() != kRandomNameLength) return false;
  for (const char c : text) {
    if (kAlphabet.find(c) == std::string_view::npos) return false;
  }
  return true;
}

}  // namespace malha
