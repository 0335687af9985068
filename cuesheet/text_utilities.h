// Small operations on UTF-16 text, shared by the cue sheet parser and the
// plug-in description. Every search is an exact, case-sensitive comparison of
// 16-bit code units, from left to right.
#pragma once

#include <string>
#include <vector>

// Cuts text at every occurrence of separator. The separator belongs to no
// piece, empty pieces stay (a text of n separators gives n + 1 pieces), and
// with trimPieces each piece loses its leading and trailing " \t\r\n".
// pieces is emptied first. An empty separator yields the whole text as the
// one piece.
void Split(const std::u16string& text, std::vector<std::u16string>& pieces,
           const char16_t* separator, bool trimPieces);

// Removes every character of the set from both ends of text; characters
// inside the text stay.
void Trim(std::u16string& text, const char16_t* characters);

// Replaces every occurrence of from by to, taking matches from the left
// without overlap; text put in is never searched again, so a replacement
// that contains from ends. An empty from leaves text unchanged.
std::u16string& ReplaceAll(std::u16string& text, const char16_t* from, const char16_t* to);
