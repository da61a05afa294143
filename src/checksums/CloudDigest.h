#pragma once

#include "PastedDigest.h"

#include <optional>
#include <QByteArray>
#include <QByteArrayView>

// The bytes of standard base64 written exactly as an encoder writes it: padded, no other alphabet, no blanks, no
// bits left over. Anything looser would take ordinary words for digests.
std::optional<QByteArray> strictBase64(QByteArrayView text);

// A digest as cloud storage shows it, blanks around it already gone:
//   bare base64 of 4 bytes (CRC-32C or CRC-32), 16 (MD5), 20 (SHA-1) or 32 (SHA-256);
//   "crc32c:BASE64", any name of the table before the colon;
//   the lines people copy from storage tools and headers, base64 or hex after the label:
//   "Hash (crc32c): …", "md5_hash: …", "x-amz-checksum-sha256: …", "Content-MD5: …", "ChecksumCRC32C": "…".
// Nothing for anything else.
std::optional<PastedDigest> recognizeCloudDigest(QByteArrayView text);
