// The code page of the texts in the FastEcho file: 866 (FidoNet's Russian
// texts, the default), 437 or 850 (Western nodes); and the code pages an
// echo list may be written in besides: 1251 and 1252 (Windows Cyrillic and
// Western) and KOI8-R (Unix Russian). Each is one table of its characters
// as Unicode, which serves both directions, and its case mapping. No
// locale or operating-system table is consulted.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class CodePage {
 public:
  // KOI8-R by the number Windows gives it.
  static constexpr int kKoi8R = 20866;
  // A byte that stands for no character (1251's 0x98, say) in a table.
  static constexpr char32_t kNoCharacter = 0xFFFD;

  // A node's code page: 866, 437 or 850; null for any other number.
  static const CodePage* Find(int number);
  // The node's code page a settings value names ("866"); null for none.
  static const CodePage* FindByName(std::string_view name);
  // "866, 437 or 850", for the settings' message.
  static std::string NodeCodePageNames();
  static const CodePage& Cp866();
  // A code page an echo list may be written in: a node's, 1251, 1252 or
  // KOI8-R; null for any other number.
  static const CodePage* ForList(int number);

  int Number() const { return number_; }
  // As the settings write it: "866", "1251", "KOI8-R".
  std::string Name() const;

  // Upper-case mapping of every byte. Code page 866 knows ASCII and the
  // Russian letters (a-ya and yo) and nothing else; 437 and 850 give every
  // letter the capital the code page holds, and keep a letter whose
  // capital it lacks as it is.
  const std::array<unsigned char, 256>& UpCaseTable() const { return upCase_; }
  unsigned char UpCase(unsigned char ch) const { return upCase_[ch]; }
  char UpCase(char ch) const { return static_cast<char>(upCase_[static_cast<unsigned char>(ch)]); }

  // The character a byte stands for (kNoCharacter for none); 0x00-0x7F are
  // ASCII.
  char32_t ToUnicode(unsigned char byte) const { return byte < 0x80 ? byte : upperHalf_[byte - 0x80]; }
  // The byte that stands for `code`, or '?' when the code page lacks it.
  unsigned char FromUnicode(char32_t code) const;
  // Whether the code page holds `code`, and in which byte.
  bool Holds(char32_t code, unsigned char* byte) const;
  // Each byte of `text` as UTF-8.
  std::string ToUtf8(std::string_view text) const;

  CodePage(int number, const std::uint16_t (&upperHalf)[128], const std::array<unsigned char, 256>& upCase);

 private:
  int number_;
  const std::uint16_t* upperHalf_;
  std::array<unsigned char, 256> upCase_;
  // FromUnicode's table, made from the same characters: for each code page
  // of 256 code points (the high byte) that holds a character of ours, a
  // row of 256 bytes (0: none).
  std::array<std::uint8_t, 256> rowOf_{};  // 0: no row; else row index + 1
  std::array<std::array<std::uint8_t, 256>, 8> rows_{};  // 437 uses seven, the most
};

