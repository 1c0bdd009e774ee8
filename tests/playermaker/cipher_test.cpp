// The template cipher, the template reader (file and stream variants, error numbers), the
// file cipher export and the cryptfile tool.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include "playermaker/cipher.h"
#include "playermaker/morvbrindle.h"
#include "playermaker/templates.h"
#include "playermaker/test_util.h"

namespace {

using morvbrindle::ApplyCipher;
using morvbrindle::TemplateInput;

std::string Cipher(std::string bytes, int mode, std::string_view key) {
    ApplyCipher({reinterpret_cast<unsigned char*>(bytes.data()), bytes.size()}, mode, key);
    return bytes;
}

TEST(Cipher, KnownBytes) {
    // Key "A": sum 65; position 0: (65%11 + 65%13 + 65%19 + 65%29) % 8 = 25 % 8 = 1.
    // 0xC0 ^ 0x41 = 0x81, rotated left by 1 within 8 bits = 0x03.
    EXPECT_EQ(Cipher("\xC0", 0, "A"), "\x03");
    EXPECT_EQ(Cipher("\x03", 1, "A"), "\xC0");
    // Position 1: s = 66, (0 + 1 + 9 + 8) % 8 = 2; 0x00 ^ 0x41 rotated by 2 = 0x05.
    EXPECT_EQ(Cipher(std::string("\xC0\x00", 2), 0, "A"), std::string("\x03\x05", 2));
    EXPECT_EQ(morvbrindle::CipherRotation(0, 0), 0);
}

TEST(Cipher, RoundTripsForEveryKeyKind) {
    const std::string keys[] = {
        std::string(morvbrindle::kTemplateKey),
        "k",
        "\xff\x80\x90 x",  // bytes above 127 make the key sum negative
    };
    for (const std::string& key : keys) {
        ASSERT_LT(morvbrindle::CipherKeySum(keys[2]), 0);
        for (std::size_t n : {0u, 1u, 100000u}) {
            const std::string plain = pmtest::PatternBytes(n);
            const std::string enciphered = Cipher(plain, 0, key);
            if (n > 1) {
                EXPECT_NE(enciphered, plain);
            }
            EXPECT_EQ(Cipher(enciphered, 1, key), plain) << "key size " << key.size() << ", n " << n;
        }
    }
    for (long long s = -2000; s < 2000; ++s) {
        const int k = morvbrindle::CipherRotation(0, s);
        ASSERT_GE(k, 0);
        ASSERT_LT(k, 8);
    }
}

TEST(TemplateReader, EmptyAndMissingFiles) {
    pmtest::TempDir dir;
    pmtest::WriteFile(dir / "empty", "");
    auto input = TemplateInput::Open(dir / "empty");
    ASSERT_TRUE(input);
    EXPECT_FALSE(input->Buffered());
    std::string text = "x";
    EXPECT_TRUE(input->ReadWhole(text));
    EXPECT_EQ(text, "");
    EXPECT_EQ(input->Length(), 0);

    EXPECT_FALSE(TemplateInput::Open(dir / "missing"));
    auto missing = morvbrindle::ReadCipherFile(dir / "missing", 1, "k");
    EXPECT_EQ(missing.error, kbnErrNoTemplate);
    EXPECT_EQ(missing.text, "");
    // A folder opens but cannot be read.
    EXPECT_EQ(morvbrindle::ReadCipherFile(dir.path().string(), 1, "k").error, kbnErrNoTemplate);
}

// Feeds `bytes` into a pipe from a thread and reads it through the stream variant.
std::string ReadThroughPipe(const std::string& bytes, long* length) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    std::thread writer([&] {
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = write(fds[1], bytes.data() + done, bytes.size() - done);
            if (n <= 0) break;  // the reader stopped at its cap
            done += static_cast<std::size_t>(n);
        }
        close(fds[1]);
    });
    std::string text;
    {
        auto input = TemplateInput::FromFile(fdopen(fds[0], "rb"), true);
        EXPECT_TRUE(input->Buffered());
        EXPECT_TRUE(input->ReadWhole(text));
        *length = input->Length();
    }  // closing the read end releases a writer blocked past the cap
    writer.join();
    return text;
}

TEST(TemplateReader, StreamVariantBuffersPastOneStep) {
    const std::string bytes = pmtest::PatternBytes(40000);
    long length = 0;
    EXPECT_EQ(ReadThroughPipe(bytes, &length), bytes);
    EXPECT_EQ(length, 40000);
}

TEST(TemplateReader, StreamVariantStopsAtTheCap) {
    std::signal(SIGPIPE, SIG_IGN);
    const std::string bytes = pmtest::PatternBytes(morvbrindle::kStreamCap + 5000);
    long length = 0;
    const std::string text = ReadThroughPipe(bytes, &length);
    EXPECT_EQ(length, morvbrindle::kStreamCap);
    EXPECT_TRUE(text == bytes.substr(0, morvbrindle::kStreamCap));
}

TEST(TemplateReader, SeekErrorsAreRecorded) {
    EXPECT_EQ(morvbrindle::SeekErrorNumber(EBADF), kbnErrBadHandle);
    EXPECT_EQ(morvbrindle::SeekErrorNumber(EINVAL), kbnErrBadSeek);
    EXPECT_EQ(morvbrindle::SeekErrorNumber(ESPIPE), kbnErrSeekFailed);

    pmtest::TempDir dir;
    pmtest::WriteFile(dir / "t", "abcdef");
    {
        auto input = TemplateInput::Open(dir / "t");
        ASSERT_TRUE(input);
        input->Seek(-3, SEEK_SET);
        EXPECT_EQ(input->Error(), kbnErrBadSeek);
        EXPECT_EQ(input->Position(), 0);
        std::string text;
        EXPECT_FALSE(input->ReadWhole(text));
    }
    {
        std::FILE* file = std::fopen((dir / "t").c_str(), "rb");
        auto input = TemplateInput::FromFile(file, false);
        ASSERT_FALSE(input->Buffered());
        close(fileno(file));  // the handle goes bad under the reader
        std::string text;
        EXPECT_FALSE(input->ReadWhole(text));
        EXPECT_EQ(input->Error(), kbnErrBadHandle);
        std::fclose(file);
    }
}

TEST(TemplateReader, SeekFromEndAndByteReads) {
    pmtest::TempDir dir;
    pmtest::WriteFile(dir / "t", "abcdef");
    auto input = TemplateInput::Open(dir / "t");
    input->Seek(2, SEEK_END);
    EXPECT_EQ(input->Position(), 4);
    EXPECT_EQ(input->GetByte(), 'e');
    EXPECT_EQ(input->GetByte(), 'f');
    EXPECT_EQ(input->GetByte(), EOF);
    EXPECT_TRUE(input->AtEnd());
}

TEST(TemplateRoot, PathsAreRootThenTemplates) {
    morvbrindle::SetTemplateRoot("C:\\Prog");
    EXPECT_EQ(morvbrindle::TemplatePath("Players/a.swf"), "C:\\Prog/templates/Players/a.swf");
    morvbrindle::SetTemplateRoot(std::string(2000, 'r').c_str());
    EXPECT_EQ(morvbrindle::TemplatePath(""), std::string(1023, 'r') + "/templates/");
    morvbrindle::SetTemplateRoot(nullptr);
    EXPECT_EQ(morvbrindle::TemplatePath("x"), "/templates/x");
}

TEST(CryptFile, EnciphersAndReplacesTheOutput) {
    pmtest::TempDir dir;
    const std::string plain = pmtest::PatternBytes(5000);
    pmtest::WriteFile(dir / "plain", plain);
    pmtest::WriteFile(dir / "out", std::string(90000, 'z'));
    ASSERT_EQ(generateCryptFile(0, "secret", (dir / "plain").c_str(), (dir / "out").c_str()), 0);
    EXPECT_EQ(pmtest::ReadFile(dir / "out"), Cipher(plain, 0, "secret"));
    ASSERT_EQ(generateCryptFile(1, "secret", (dir / "out").c_str(), (dir / "back").c_str()), 0);
    EXPECT_EQ(pmtest::ReadFile(dir / "back"), plain);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"back", "out", "plain"}));
}

TEST(CryptFile, FailuresReturnNonZeroAndLeaveNoOutput) {
    pmtest::TempDir dir;
    pmtest::WriteFile(dir / "plain", "hello");
    pmtest::WriteFile(dir / "kept", "old");
    struct Case {
        const char* name;
        const char* key;
        std::string input, output;
        int error;
    };
    const Case cases[] = {
        {"missing input", "k", dir / "missing", dir / "kept", kbnErrNoTemplate},
        {"input is a folder", "k", dir.path().string(), dir / "kept", kbnErrNoTemplate},
        {"output folder missing", "k", dir / "plain", dir / "no/such/out", kbnErrCannotWrite},
        {"output is a folder", "k", dir / "plain", dir.path().string(), kbnErrCannotWrite},
        {"empty key", "", dir / "plain", dir / "kept", kbnErrBadOptions},
        {"null key", nullptr, dir / "plain", dir / "kept", kbnErrBadOptions},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(generateCryptFile(0, c.key, c.input.c_str(), c.output.c_str()), c.error) << c.name;
        EXPECT_EQ(pmtest::ReadFile(dir / "kept"), "old") << c.name;
        EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"kept", "plain"})) << c.name;
    }
    EXPECT_EQ(generateCryptFile(0, "k", nullptr, (dir / "kept").c_str()), kbnErrBadOptions);
    EXPECT_EQ(generateCryptFile(0, "k", (dir / "plain").c_str(), nullptr), kbnErrBadOptions);
}

TEST(CryptFileTool, EnciphersWithTheTemplateKeyByDefault) {
    const std::string tool = pmtest::BuildDir() + "/tools/cryptfile";
    pmtest::TempDir dir;
    const std::string plain = "function init() {\n\ttrace(\"x\");\n}\n";
    pmtest::WriteFile(dir / "plain.as", plain);
    const std::string q = "'";
    auto run = [&](const std::string& args) { return std::system((tool + " " + args + " 2>/dev/null").c_str()); };
    ASSERT_EQ(run("encipher " + q + (dir / "plain.as") + q + " " + q + (dir / "t.dat") + q), 0);
    const auto deciphered = morvbrindle::ReadCipherFile(dir / "t.dat", 1, morvbrindle::kTemplateKey);
    EXPECT_EQ(deciphered.error, 0);
    EXPECT_EQ(deciphered.text, plain);
    ASSERT_EQ(run("encipher --key other " + q + (dir / "plain.as") + q + " " + q + (dir / "o.dat") + q), 0);
    ASSERT_EQ(run("decipher --key other " + q + (dir / "o.dat") + q + " " + q + (dir / "o.as") + q), 0);
    EXPECT_EQ(pmtest::ReadFile(dir / "o.as"), plain);
    EXPECT_NE(run("encipher " + q + (dir / "missing") + q + " " + q + (dir / "x") + q), 0);
    EXPECT_NE(run("scramble a b"), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "x"));
}

}  // namespace
