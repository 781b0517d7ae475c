// Page encryption of password-protected Access 2007 and later files.
//
// Such a file keeps page 0 readable (only the usual header mask) and
// encrypts every other page as one unit with an Office document-encryption
// scheme, described by a blob in page 0: a uint16 length at 0x299, then the
// blob (uint16 major, uint16 minor, ...). Two schemes are read:
//   4.4         "agile": an XML descriptor; the password, salted and hashed
//               spinCount times (SHA-1/256/384/512), unwraps a verifier and
//               the AES page key; each page is AES-CBC with an IV hashed from
//               the descriptor's salt and the page's block key.
//   2.2/3.2/4.2 with the CryptoAPI flag and without AES: RC4 keyed per page
//               by SHA-1(SHA-1(salt, password), block key).
// The block key of page n is the header's 4-byte key (0x3E) XOR n. The
// password is its UTF-16LE bytes, at most 255 characters, no terminator.
// Every length read from the blob is checked before use.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "access/base/coding.h"
#include "access/base/status.h"

namespace veltrano::access {

class PageCipher {
public:
    virtual ~PageCipher() = default;
    // Decrypts page n (n >= 1) in place.
    virtual void decrypt(uint32_t n, MutableBytes page) const = 0;
};

// The cipher of a file from its decoded page 0 and the key at 0x3E.
// WrongPassword when the password fails the file's verifier; NotSupported
// for schemes this engine does not read; Corruption for a damaged blob.
Result<std::shared_ptr<const PageCipher>> openOfficeCipher(Bytes page0, uint32_t databaseKey,
                                                          const std::string& password);

}  // namespace veltrano::access
