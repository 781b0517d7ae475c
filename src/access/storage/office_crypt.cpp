// Office page encryption of .accdb files; see office_crypt.h.
#include "access/storage/office_crypt.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <map>
#include <string_view>
#include <vector>

#include "access/format/text.h"
#include "access/storage/pager.h"

namespace veltrano::access {

namespace {

using Buffer = std::vector<uint8_t>;

constexpr size_t kBlobLengthOffset = 0x299;
constexpr size_t kMaxSpinCount = 10'000'000;  // Office writes 100 000; more would only stall the open

Status damaged(const std::string& what) {
    return Status::corruption("the encryption header of the database is damaged (" + what + ")", 0);
}

Buffer passwordBytes(const std::string& password) {
    std::string u16 = utf8ToUtf16le(password);
    if (u16.size() > 510) u16.resize(510);
    return Buffer(u16.begin(), u16.end());
}

Buffer le32(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

Buffer concat(const Buffer& a, const Buffer& b) {
    Buffer out(a);
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

// Cut to `n` bytes, or filled up with `pad`.
Buffer fitted(Buffer b, size_t n, uint8_t pad) {
    b.resize(n, pad);
    return b;
}

Buffer digest(const EVP_MD* md, const Buffer& data) {
    Buffer out(static_cast<size_t>(EVP_MD_get_size(md)));
    unsigned int len = 0;
    EVP_Digest(data.data(), data.size(), out.data(), &len, md, nullptr);
    out.resize(len);
    return out;
}

const EVP_MD* hashNamed(std::string_view name) {
    if (name == "SHA1" || name == "SHA-1") return EVP_sha1();
    if (name == "SHA256") return EVP_sha256();
    if (name == "SHA384") return EVP_sha384();
    if (name == "SHA512") return EVP_sha512();
    return nullptr;
}

const EVP_CIPHER* aesCbc(size_t keyBytes) {
    switch (keyBytes) {
        case 16: return EVP_aes_128_cbc();
        case 24: return EVP_aes_192_cbc();
        case 32: return EVP_aes_256_cbc();
        default: return nullptr;
    }
}

// AES-CBC decryption without padding; `data` is a whole number of blocks.
bool aesDecrypt(const Buffer& key, const Buffer& iv, MutableBytes data) {
    const EVP_CIPHER* cipher = aesCbc(key.size());
    if (!cipher || iv.size() < 16 || data.size() % 16 != 0) return false;
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (!ctx) return false;
    int outLen = 0, finalLen = 0;
    bool ok = EVP_DecryptInit_ex(ctx, cipher, nullptr, key.data(), iv.data()) == 1 &&
              EVP_CIPHER_CTX_set_padding(ctx, 0) == 1 &&
              EVP_DecryptUpdate(ctx, data.data(), &outLen, data.data(), static_cast<int>(data.size())) == 1 &&
              EVP_DecryptFinal_ex(ctx, data.data() + outLen, &finalLen) == 1;
    EVP_CIPHER_CTX_free(ctx);
    return ok;
}

// ---------------------------------------------------------------- agile (4.4)

// Attributes of the first element whose local name is `name` (any namespace
// prefix). The descriptor is small, flat and machine-written, so a scanner
// for `<[p:]name a="v" ...>` is enough.
std::map<std::string, std::string> xmlAttributes(std::string_view xml, std::string_view name) {
    std::map<std::string, std::string> out;
    for (size_t at = xml.find('<'); at != std::string_view::npos; at = xml.find('<', at + 1)) {
        size_t nameEnd = xml.find_first_of(" \t\r\n/>", at + 1);
        if (nameEnd == std::string_view::npos) break;
        std::string_view tag = xml.substr(at + 1, nameEnd - at - 1);
        if (size_t colon = tag.find(':'); colon != std::string_view::npos) tag = tag.substr(colon + 1);
        if (tag != name) continue;
        size_t end = xml.find('>', nameEnd);
        std::string_view attrs = xml.substr(nameEnd, end == std::string_view::npos ? std::string_view::npos : end - nameEnd);
        for (size_t i = 0;;) {
            size_t eq = attrs.find("=\"", i);
            if (eq == std::string_view::npos) break;
            size_t keyStart = attrs.find_last_of(" \t\r\n", eq);
            keyStart = keyStart == std::string_view::npos ? 0 : keyStart + 1;
            size_t close = attrs.find('"', eq + 2);
            if (close == std::string_view::npos) break;
            out[std::string(attrs.substr(keyStart, eq - keyStart))] = std::string(attrs.substr(eq + 2, close - eq - 2));
            i = close + 1;
        }
        break;
    }
    return out;
}

bool base64(const std::string& text, Buffer& out) {
    if (text.empty() || text.size() % 4 != 0 || text.size() > 8192) return false;
    out.assign(text.size() / 4 * 3, 0);
    int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    if (n < 0) return false;
    size_t padding = 0;
    for (size_t i = text.size(); i > 0 && text[i - 1] == '='; --i) ++padding;
    out.resize(static_cast<size_t>(n) - padding);
    return true;
}

class AgileCipher final : public PageCipher {
public:
    AgileCipher(Buffer key, Buffer salt, const EVP_MD* ivHash, size_t blockSize, uint32_t databaseKey)
        : key_(std::move(key)), salt_(std::move(salt)), ivHash_(ivHash), blockSize_(blockSize), databaseKey_(databaseKey) {}

    void decrypt(uint32_t n, MutableBytes page) const override {
        Buffer iv = fitted(digest(ivHash_, concat(salt_, le32(databaseKey_ ^ n))), blockSize_, 0x36);
        if (!aesDecrypt(key_, iv, page)) std::fill(page.begin(), page.end(), uint8_t{0xFF});  // read as damaged
    }

private:
    Buffer key_, salt_;
    const EVP_MD* ivHash_;
    size_t blockSize_;
    uint32_t databaseKey_;
};

Result<std::shared_ptr<const PageCipher>> openAgile(Bytes blob, uint32_t databaseKey, const std::string& password) {
    ByteReader r(blob);
    if (r.u32(4) != 0x40) return damaged("agile descriptor reserved field");
    std::string_view xml(reinterpret_cast<const char*>(blob.data()) + 8, blob.size() - 8);
    auto keyData = xmlAttributes(xml, "keyData");
    auto encryptor = xmlAttributes(xml, "keyEncryptor");
    auto encKey = xmlAttributes(xml, "encryptedKey");
    if (keyData.empty() || encKey.empty()) return damaged("agile descriptor without key data");
    if (encryptor["uri"] != "http://schemas.microsoft.com/office/2006/keyEncryptor/password")
        return Status::notSupported("the database is encrypted for a certificate, not with a password");
    for (auto* m : {&keyData, &encKey}) {
        if ((*m)["cipherAlgorithm"] != "AES" || (*m)["cipherChaining"] != "ChainingModeCBC")
            return Status::notSupported("the database is encrypted with " + (*m)["cipherAlgorithm"] + " " +
                                        (*m)["cipherChaining"] + ", which this engine does not read");
    }
    const EVP_MD* pageHash = hashNamed(keyData["hashAlgorithm"]);
    const EVP_MD* keyHash = hashNamed(encKey["hashAlgorithm"]);
    if (!pageHash || !keyHash)
        return Status::notSupported("the database's encryption uses the hash " + encKey["hashAlgorithm"] +
                                    ", which this engine does not read");
    auto number = [](const std::string& s, size_t& out) {
        if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return false;
        out = std::stoul(s);
        return true;
    };
    size_t spin = 0, keyBits = 0, pageKeyBits = 0, pageBlock = 0;
    if (!number(encKey["spinCount"], spin) || spin > kMaxSpinCount || !number(encKey["keyBits"], keyBits) ||
        !number(keyData["keyBits"], pageKeyBits) || !number(keyData["blockSize"], pageBlock) || pageBlock != 16 ||
        !aesCbc(keyBits / 8) || !aesCbc(pageKeyBits / 8))
        return damaged("agile key sizes");
    Buffer salt, pageSalt, verifierInput, verifierHash, keyValue;
    if (!base64(encKey["saltValue"], salt) || !base64(keyData["saltValue"], pageSalt) ||
        !base64(encKey["encryptedVerifierHashInput"], verifierInput) ||
        !base64(encKey["encryptedVerifierHashValue"], verifierHash) || !base64(encKey["encryptedKeyValue"], keyValue) ||
        salt.size() < 16 || verifierInput.size() % 16 || verifierHash.size() % 16 || keyValue.size() % 16 ||
        keyValue.size() < pageKeyBits / 8)
        return damaged("agile descriptor values");

    // The iterated hash does not depend on the block, so it is computed once.
    Buffer h = digest(keyHash, concat(salt, passwordBytes(password)));
    for (uint32_t i = 0; i < spin; ++i) h = digest(keyHash, concat(le32(i), h));
    auto blockKey = [&](Buffer block) { return fitted(digest(keyHash, concat(h, block)), keyBits / 8, 0x36); };
    Buffer iv = fitted(salt, 16, 0x36);
    if (!aesDecrypt(blockKey({0xFE, 0xA7, 0xD2, 0x76, 0x3B, 0x4B, 0x9E, 0x79}), iv, verifierInput) ||
        !aesDecrypt(blockKey({0xD7, 0xAA, 0x0F, 0x6D, 0x30, 0x61, 0x34, 0x4E}), iv, verifierHash) ||
        !aesDecrypt(blockKey({0x14, 0x6E, 0x0B, 0xE7, 0xAB, 0xAC, 0xD0, 0xD6}), iv, keyValue))
        return damaged("agile key blobs");
    Buffer expected = digest(keyHash, fitted(verifierInput, salt.size(), 0));
    if (verifierHash.size() < expected.size() ||
        CRYPTO_memcmp(expected.data(), verifierHash.data(), expected.size()) != 0)
        return Status::wrongPassword();
    keyValue.resize(pageKeyBits / 8);
    return std::shared_ptr<const PageCipher>(
        std::make_shared<AgileCipher>(std::move(keyValue), std::move(pageSalt), pageHash, pageBlock, databaseKey));
}

// ---------------------------------------------------------------- RC4 CryptoAPI (x.2)

class Rc4CryptoApiCipher final : public PageCipher {
public:
    Rc4CryptoApiCipher(Buffer baseHash, size_t keyBytes, uint32_t databaseKey)
        : baseHash_(std::move(baseHash)), keyBytes_(keyBytes), databaseKey_(databaseKey) {}

    void decrypt(uint32_t n, MutableBytes page) const override { rc4Xor(keyFor(databaseKey_ ^ n), page); }

    Buffer keyFor(uint32_t block) const {
        Buffer key = digest(EVP_sha1(), concat(baseHash_, le32(block)));
        key.resize(keyBytes_);
        if (keyBytes_ == 5) key.resize(16, 0);  // 40-bit keys are used zero-extended
        return key;
    }

private:
    Buffer baseHash_;
    size_t keyBytes_;
    uint32_t databaseKey_;
};

Result<std::shared_ptr<const PageCipher>> openCryptoApi(Bytes blob, uint32_t databaseKey, const std::string& password) {
    ByteReader r(blob);
    constexpr uint32_t kFlagCryptoApi = 0x04, kFlagAes = 0x20;
    uint32_t flags = r.u32(4);
    if (!(flags & kFlagCryptoApi)) return Status::notSupported("the database uses an encryption scheme this engine does not read");
    if (flags & kFlagAes)
        return Status::notSupported("the database uses the older AES (\"standard\") encryption, which this engine does not read");
    size_t headerSize = r.u32(8);
    if (headerSize < 32 || headerSize > blob.size()) return damaged("CryptoAPI header size");
    uint32_t algId = r.u32(12 + 8), hashId = r.u32(12 + 12);
    size_t keyBits = r.u32(12 + 16);
    if ((algId != 0 && algId != 0x6801) || (hashId != 0 && hashId != 0x8004))
        return Status::notSupported("the database uses a CryptoAPI cipher this engine does not read");
    if (keyBits == 0) {
        std::string csp = utf16leToUtf8(r.slice(12 + 32, headerSize - 32));
        keyBits = csp.empty() || csp.find(" Base ") != std::string::npos ? 40 : 128;
    }
    size_t v = 12 + headerSize;
    if (r.u32(v) != 16) return damaged("CryptoAPI salt size");
    size_t hashSize = r.u32(v + 36);
    Buffer salt(r.slice(v + 4, 16).begin(), r.slice(v + 4, 16).end());
    Bytes encVerifier = r.slice(v + 20, 16);
    Bytes encHash = r.slice(v + 40, 20);
    if (!r.ok() || keyBits < 40 || keyBits > 128 || keyBits % 8 || hashSize == 0 || hashSize > 20)
        return damaged("CryptoAPI verifier");

    auto cipher = std::make_shared<Rc4CryptoApiCipher>(digest(EVP_sha1(), concat(salt, passwordBytes(password))),
                                                       keyBits / 8, databaseKey);
    // The verifier and its hash are one RC4 stream under the key of block 0.
    Buffer check(encVerifier.begin(), encVerifier.end());
    check.insert(check.end(), encHash.begin(), encHash.end());
    rc4Xor(cipher->keyFor(0), check);
    Buffer verifierHash = digest(EVP_sha1(), Buffer(check.begin(), check.begin() + 16));
    if (CRYPTO_memcmp(verifierHash.data(), check.data() + 16, hashSize) != 0) return Status::wrongPassword();
    return std::shared_ptr<const PageCipher>(std::move(cipher));
}

}  // namespace

Result<std::shared_ptr<const PageCipher>> openOfficeCipher(Bytes page0, uint32_t databaseKey,
                                                          const std::string& password) {
    ByteReader r(page0);
    size_t length = r.u16(kBlobLengthOffset);
    Bytes blob = r.slice(kBlobLengthOffset + 2, length);
    if (!r.ok() || length < 8) return damaged("no encryption descriptor");
    uint16_t major = ByteReader(blob).u16(0), minor = ByteReader(blob).u16(2);
    if (major == 4 && minor == 4) return openAgile(blob, databaseKey, password);
    if ((major == 2 || major == 3 || major == 4) && minor == 2) return openCryptoApi(blob, databaseKey, password);
    return Status::notSupported("the database is encrypted with a scheme this engine does not read (version " +
                                std::to_string(major) + "." + std::to_string(minor) + ")");
}

}  // namespace veltrano::access
