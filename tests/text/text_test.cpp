// Word filter, percent-encoding, MD5 and base64, checked against md5sum, base64
// and Python's urllib.parse.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "test_support.h"
#include "text/text.h"

namespace {

using test::run;

std::string random_bytes(std::mt19937& rng, size_t n) {
    std::string s(n, '\0');
    for (char& c : s) c = char(rng() & 0xff);
    return s;
}

std::string upper(std::string s) {
    for (char& c : s) c = char(toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string encode(const std::string& in) {
    std::vector<char> out(url_encoded_length(in.size(), in.data()));
    url_encode(in.size(), out.data(), out.size(), in.data());
    return std::string(out.data());
}

// ---------------------------------------------------------------------------
// word_filter

TEST(WordFilter, ListHasTwentyEightDistinctLowercaseEntriesOfThreeToSeven) {
    std::set<std::string> seen;
    for (const char* entry : word_filter_list) {
        const std::string e = entry;
        EXPECT_GE(e.size(), 3u) << e;
        EXPECT_LE(e.size(), 7u) << e;
        EXPECT_EQ(e.find('*'), std::string::npos) << e;  // masking must end
        for (char c : e) {
            EXPECT_TRUE(c > ' ' && c < 127 && !(c >= 'A' && c <= 'Z')) << e;
        }
        EXPECT_TRUE(seen.insert(e).second) << "duplicate " << e;
    }
    EXPECT_EQ(seen.size(), 28u);
}

TEST(WordFilter, EveryEntryIsMaskedInCapitalsAndInsideLongerWords) {
    for (const char* entry : word_filter_list) {
        const std::string word = upper(entry);
        const std::string text = "Q<" + word + ">Zq " + std::string(entry) + "ly";
        const std::string stars(strlen(entry), '*');
        EXPECT_EQ(std::string(word_filter(text.c_str())), "Q<" + stars + ">Zq " + stars + "ly")
            << entry;
    }
}

TEST(WordFilter, CasesFromTheTable) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"", ""},
        {"Nothing to see HERE", "Nothing to see HERE"},
        {"What the FuCk, Bob?", "What the ****, Bob?"},
        {"fuck fuck FUCK", "**** **** ****"},
        {"BullShitter", "Bull****ter"},          // inside a longer word
        {"shitwat", "****wat"},                  // masked bytes never match "twat"
        {"sHIT\xc3\x89t\xff", "****\xc3\x89t\xff"},  // other bytes pass untouched
        {"a$$hole and $hit", "******* and ****"},
        {"fukk", "***k"},
    };
    for (const Case& c : cases) EXPECT_EQ(std::string(word_filter(c.in)), c.out) << c.in;
    EXPECT_STREQ(word_filter(nullptr), "");
}

TEST(WordFilter, KeepsLengthAndEveryUnmaskedByte) {
    std::mt19937 rng(7);
    const std::string alphabet = "fuckshitFUCKSHIT $a1 .";
    for (int round = 0; round < 500; ++round) {
        std::string text(rng() % 200, ' ');
        for (char& c : text) c = alphabet[rng() % alphabet.size()];
        const std::string out = word_filter(text.c_str());
        ASSERT_EQ(out.size(), text.size());
        for (size_t i = 0; i < text.size(); ++i) {
            if (out[i] != '*') {
                EXPECT_EQ(out[i], text[i]);
            }
        }
        const std::string lower_out = [&] {
            std::string s = out;
            for (char& c : s) c = char(tolower(static_cast<unsigned char>(c)));
            return s;
        }();
        EXPECT_EQ(lower_out.find("fuck"), std::string::npos) << text;
        EXPECT_EQ(lower_out.find("shit"), std::string::npos) << text;
    }
}

TEST(WordFilter, TextsOf1024BytesOrMoreAreCutTo1023) {
    // 1023 bytes fit whole; longer texts keep their first 1023 bytes, filtered.
    // A word cut by the limit is not matched.
    for (size_t size : {1022u, 1023u, 1024u, 1025u, 5000u}) {
        std::string text(size, 'a');
        text.replace(10, 4, "SHIT");
        text.replace(1020, 4, "shit");  // straddles the limit for size >= 1024
        text.resize(size);
        const std::string out = word_filter(text.c_str());
        ASSERT_EQ(out.size(), std::min<size_t>(size, 1023)) << size;
        EXPECT_EQ(out.substr(10, 4), "****");
        if (size >= 1024) {
            EXPECT_EQ(out.substr(1020), "shi");
        }
    }
}

TEST(WordFilter, ResultBufferIsSharedAndOverwritten) {
    const char* first = word_filter("one shit");
    const std::string copy = first;
    const char* second = word_filter("two");
    EXPECT_EQ(first, second);
    EXPECT_EQ(copy, "one ****");
    EXPECT_STREQ(first, "two");  // no bytes of the longer earlier text remain
}

// ---------------------------------------------------------------------------
// url_encoded_length, url_encode

TEST(UrlEncode, CasesFromTheTable) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {"abcXYZ019", "abcXYZ019"},
        {"a b", "a%20b"},
        {"~", "%7e"},
        {"-._*", "%2d%2e%5f%2a"},
        {std::string("\0\xff\x80", 3), "%00%ff%80"},
        {"user@mail.com&pw=x?", "user%40mail%2ecom%26pw%3dx%3f"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(encode(c.in), c.out) << c.in;
        EXPECT_EQ(url_encoded_length(c.in.size(), c.in.data()), c.out.size() + 1) << c.in;
    }
}

TEST(UrlEncode, PythonDecodesEveryByteBackAndHexIsLowercase) {
    std::mt19937 rng(11);
    std::vector<std::string> inputs;
    std::string all(256, '\0');
    for (int i = 0; i < 256; ++i) all[size_t(i)] = char(i);
    inputs.push_back(all);
    for (int i = 0; i < 40; ++i) inputs.push_back(random_bytes(rng, rng() % 300));

    test::TempDir tmp;
    std::string lines;
    for (const std::string& in : inputs) {
        const std::string out = encode(in);
        for (size_t i = 0; i < out.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(out[i]);
            ASSERT_TRUE(isalnum(c) || c == '%') << out;
            if (c == '%') {
                ASSERT_LT(i + 2, out.size());
                ASSERT_TRUE(strchr("0123456789abcdef", out[i + 1]) && out[i + 1]);
                ASSERT_TRUE(strchr("0123456789abcdef", out[i + 2]) && out[i + 2]);
            }
        }
        lines += out + "\n";
    }
    test::write_file(tmp.file("encoded.txt"), lines);
    // Python decodes each line and prints its bytes as hex.
    const std::string decoded = run(
        "/usr/bin/python3 -c 'import sys, urllib.parse\n"
        "for line in open(sys.argv[1]).read().splitlines():\n"
        "    print(urllib.parse.unquote_to_bytes(line).hex())' " +
        tmp.file("encoded.txt"));
    std::string expected;
    for (const std::string& in : inputs) {
        static const char hex[] = "0123456789abcdef";
        for (unsigned char c : in) expected += std::string{hex[c >> 4], hex[c & 15]};
        expected += "\n";
    }
    EXPECT_EQ(decoded, expected);
}

TEST(UrlEncode, SmallBuffersTruncateAtWholeUnitsAndNeverOverrun) {
    const std::string in = "ab c~9";
    const std::string full = encode(in);  // "ab%20c%7e9"
    ASSERT_EQ(full, "ab%20c%7e9");
    for (size_t size = 1; size <= full.size() + 3; ++size) {
        std::vector<char> buf(size + 8, '#');
        url_encode(in.size(), buf.data(), size, in.data());
        const std::string out(buf.data());
        ASSERT_LT(out.size(), size);
        EXPECT_EQ(full.compare(0, out.size(), out), 0) << size;
        // The next unit did not fit: a letter needs 2 bytes of room, "%xx" 4.
        if (out.size() < full.size()) {
            const size_t need = full[out.size()] == '%' ? 4 : 2;
            EXPECT_LT(size - out.size(), need) << size;
        }
        for (size_t i = out.size(); i < size; ++i) EXPECT_EQ(buf[i], '\0') << size;
        for (size_t i = size; i < buf.size(); ++i) EXPECT_EQ(buf[i], '#') << size;
    }
    char untouched = '#';
    url_encode(in.size(), &untouched, 0, in.data());
    EXPECT_EQ(untouched, '#');
}

// ---------------------------------------------------------------------------
// md5_hex

std::string md5(const std::string& s) {
    char out[33];
    memset(out, '#', sizeof out);
    md5_hex(s.size(), s.data(), out);
    EXPECT_EQ(out[32], '\0');
    return std::string(out, 32);
}

TEST(Md5, Rfc1321TestSuite) {
    struct Case {
        const char* in;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
         "0",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const Case& c : cases) EXPECT_EQ(md5(c.in), c.digest) << c.in;
}

TEST(Md5, MatchesMd5sumAcrossBlockBoundaries) {
    std::mt19937 rng(3);
    std::vector<size_t> sizes = {1, 55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129, 1000,
                                 46576, 1 << 20};
    for (int i = 0; i < 10; ++i) sizes.push_back(rng() % 5000);
    test::TempDir tmp;
    for (size_t size : sizes) {
        const std::string bytes = random_bytes(rng, size);
        test::write_file(tmp.file("in"), bytes);
        const std::string expected = run("md5sum " + tmp.file("in")).substr(0, 32);
        ASSERT_EQ(expected.size(), 32u);
        EXPECT_EQ(md5(bytes), expected) << size;
    }
}

// ---------------------------------------------------------------------------
// base64_encode

TEST(Base64, Rfc4648TestVectors) {
    const char* cases[][2] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},
                              {"foo", "Zm9v"},  {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
                              {"foobar", "Zm9vYmFy"}};
    for (auto& c : cases) EXPECT_EQ(base64_encode(c[0], strlen(c[0])), c[1]) << c[0];
    const unsigned char one = 0xfb;
    EXPECT_EQ(base64_encode(&one, 1), "+w==");
    const unsigned char two[] = {0xff, 0xff, 0xbe};
    EXPECT_EQ(base64_encode(two, 3), "//++");
}

TEST(Base64, MatchesCoreutilsBase64) {
    std::mt19937 rng(5);
    test::TempDir tmp;
    for (size_t size : {1u, 2u, 3u, 4u, 5u, 6u, 100u, 1001u, 46576u, 65536u}) {
        const std::string bytes = random_bytes(rng, size);
        test::write_file(tmp.file("in"), bytes);
        const std::string expected = run("base64 -w0 " + tmp.file("in"));
        EXPECT_EQ(base64_encode(bytes.data(), bytes.size()), expected) << size;
    }
}

// ---------------------------------------------------------------------------
// url_decode, base64_decode

TEST(UrlDecode, CasesFromTheTable) {
    struct {
        std::string in;
        bool ok;
        std::string out;
    } cases[] = {
        {"", true, ""},
        {"abc", true, "abc"},
        {"a%20b+c", true, "a b c"},
        {"%7c%7C", true, "||"},
        {"%00%ff", true, std::string("\0\xff", 2)},
        {"100%", false, ""},
        {"%4", false, ""},
        {"%g1", false, ""},
        {"%%41", false, ""},
        {"%2b", true, "+"},
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(url_decode(c.in, out), c.ok) << c.in;
        if (c.ok) {
            EXPECT_EQ(out, c.out) << c.in;
        }
    }
}

TEST(UrlDecode, UndoesUrlEncodeOfEveryByte) {
    std::mt19937 rng(9);
    for (size_t size : {0u, 1u, 255u, 4096u}) {
        std::string bytes = random_bytes(rng, size);
        if (size == 255)
            for (size_t i = 0; i < size; ++i) bytes[i] = char(i);
        std::string out;
        ASSERT_TRUE(url_decode(encode(bytes), out));
        EXPECT_EQ(out, bytes) << size;
    }
}

TEST(Base64Decode, AcceptsOnlyTheCanonicalForm) {
    struct {
        const char* in;
        bool ok;
        const char* out;
    } cases[] = {
        {"", true, ""},         {"Zg==", true, "f"},     {"Zm8=", true, "fo"},
        {"Zm9vYmFy", true, "foobar"},
        {"Zg=", false, ""},     {"Zg", false, ""},       {"Zh==", false, ""},  // bits after the byte
        {"Zm9=", false, ""},    {"Z===", false, ""},     {"=Zg=", false, ""},
        {"Zg==Zg==", false, ""}, {"Zm9v\nYmFy", false, ""}, {"Zm 9", false, ""},
        {"Zm-_", false, ""},    {"Zm9v====", false, ""},
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(base64_decode(c.in, out), c.ok) << c.in;
        if (c.ok) {
            EXPECT_EQ(out, c.out) << c.in;
        }
    }
}

TEST(Base64Decode, ReadsWhatCoreutilsWrites) {
    std::mt19937 rng(11);
    test::TempDir tmp;
    for (size_t size : {1u, 2u, 3u, 100u, 46576u}) {
        const std::string bytes = random_bytes(rng, size);
        test::write_file(tmp.file("in"), bytes);
        std::string out;
        EXPECT_TRUE(base64_decode(run("base64 -w0 " + tmp.file("in")), out)) << size;
        EXPECT_EQ(out, bytes) << size;
    }
}

}  // namespace
