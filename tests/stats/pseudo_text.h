// Test support: a deterministic pseudo-text that looks like single-byte prose
// (words of weighted letters, a few Latin-1 letters, punctuation and line
// breaks), so that models have many sequences with widely varied counts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace kesto_test {

inline std::vector<uint8_t> MakePseudoText(size_t size, uint32_t seed) {
  // Letters with rough English weights, plus four ISO-8859-1 letters.
  static constexpr char kLetters[] = "etaoinshrdlcumwfgypbvkjxqz";
  static constexpr int kWeights[] = {127, 91, 82, 75, 70, 67, 63, 61, 60, 43, 40, 28, 28,
                                     24,  24, 22, 20, 20, 19, 15, 10, 8,  2,  2,  1,  1};
  static constexpr uint8_t kLatin1[] = {0xE4, 0xF6, 0xFC, 0xDF};
  std::mt19937 random(seed);
  std::discrete_distribution<int> letter(std::begin(kWeights), std::end(kWeights));
  std::uniform_int_distribution<int> wordLength(1, 9);
  std::uniform_int_distribution<int> percent(0, 99);
  std::vector<uint8_t> text;
  text.reserve(size + 16);
  while (text.size() < size) {
    const int length = wordLength(random);
    for (int i = 0; i < length; ++i) {
      if (percent(random) == 0) {
        text.push_back(kLatin1[static_cast<size_t>(percent(random)) % 4]);
      } else {
        const auto c = static_cast<uint8_t>(kLetters[letter(random)]);
        text.push_back(i == 0 && percent(random) < 5 ? static_cast<uint8_t>(c - 'a' + 'A') : c);
      }
    }
    const int separator = percent(random);
    if (separator < 6) {
      text.push_back(',');
    } else if (separator < 10) {
      text.push_back('.');
    }
    text.push_back(separator >= 95 ? '\n' : ' ');
  }
  text.resize(size);
  return text;
}

}  // namespace kesto_test
