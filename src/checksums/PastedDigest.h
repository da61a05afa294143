#pragma once

#include "Algorithms.h"

#include <optional>
#include <QByteArray>
#include <QByteArrayView>

// How the digest's bytes were written.
enum class PastedForm
{
    Hex,
    Base64, // as cloud storage and Subresource Integrity values show them
};

// A digest a user pasted, with the algorithms it may be of: one where a tag or prefix names it, every algorithm of
// that length where only the length tells (64 hex digits: SHA-256 and SHA3-256).
struct PastedDigest
{
    QByteArray digest; // the bytes
    AlgorithmSet candidates;
    QByteArray name; // the file a pasted checksum line names; empty otherwise
    PastedForm form = PastedForm::Hex;
};

// Recognises, blanks, no-break spaces and invisible characters around it ignored:
//   hex of a known length, either case, with spaces or colons between groups ("AB:CD:...", "abcd ef01 ...");
//   "sha256:HEX" (any name of the table), its digits grouped the same way;
//   a Subresource Integrity value, "sha256-", "sha384-" or "sha512-" and standard base64;
//   the base64 and labelled forms of cloud storage (see recognizeCloudDigest);
//   a whole checksum line in any of its forms, and "HEX NAME" with a single space.
// Nothing for anything else.
std::optional<PastedDigest> recognizePastedDigest(QByteArrayView text);
