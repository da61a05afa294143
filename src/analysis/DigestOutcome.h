#pragma once

#include "DigestFailure.h"

#include <QString>

// A digest's text, or why there is none: the kind of failure, for whoever decides by it, beside the words to show.
// Ok always carries a digest; a failure never carries text that could pass for one.
struct DigestOutcome
{
    enum class Status
    {
        Ok,
        Failed,      // the file could not be read as one version to the end
        Unavailable, // this digest cannot be computed here (the crypto library refuses it); the others may be
        Cancelled,
    };

    Status status = Status::Failed;
    QString digest; // lowercase hexadecimal when Ok
    QString reason; // the system's or the library's reason when Failed or Unavailable
    DigestFailure failure = DigestFailure::ReadError;

    bool isOk() const { return status == Status::Ok; }

    static DigestOutcome ok(QString text) { return {Status::Ok, std::move(text), {}, DigestFailure::None}; }
    static DigestOutcome failed(QString why, DigestFailure kind = DigestFailure::ReadError)
    {
        return {Status::Failed, {}, std::move(why), kind};
    }
    static DigestOutcome unavailable(QString why)
    {
        return {Status::Unavailable, {}, std::move(why), DigestFailure::DigestRefused};
    }
    static DigestOutcome cancelled() { return {Status::Cancelled, {}, {}, DigestFailure::Cancelled}; }
};
