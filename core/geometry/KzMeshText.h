#ifndef KZMESHTEXT_H
#define KZMESHTEXT_H

#include <QtGlobal>

// Text scanning shared by the mesh readers. Every function works on a byte
// range [begin, end) and never reads outside it. Whitespace is the ASCII set
// (space, \t, \n, \v, \f, \r).
class KzMeshText
{
public:
    static bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

    // True when the range holds "vertex", whitespace and three more words
    // (the first "vertex" followed by whitespace counts); xyz gets the three
    // words as numbers, each word taken whole (see ToFloat).
    static bool MatchVertexLine(const char* begin, const char* end, float xyz[3]);

    // True when needle occurs anywhere in the range (case-sensitive).
    static bool Contains(const char* begin, const char* end, const char* needle);

    // True when the range, after leading whitespace, starts with "solid".
    static bool StartsWithSolid(const char* begin, const char* end);

    // The whole word as a number; a word that is not entirely a number, or
    // whose value is not a finite float, gives NaN.
    static float ToFloat(const char* begin, const char* end);

    // The number at the start of the word, ignoring what follows it ("1.5e2x"
    // gives 150); no number, or a value that is not a finite float, gives NaN.
    static float ToFloatPrefix(const char* begin, const char* end);

    // Advances p past whitespace, then sets [wordBegin, wordEnd) to the next
    // word; false when only whitespace is left.
    static bool NextWord(const char*& p, const char* end, const char*& wordBegin, const char*& wordEnd)
    {
        while (p < end && IsSpace(*p))
            ++p;
        if (p == end)
            return false;
        wordBegin = p;
        while (p < end && !IsSpace(*p))
            ++p;
        wordEnd = p;
        return true;
    }
};

#endif // KZMESHTEXT_H
