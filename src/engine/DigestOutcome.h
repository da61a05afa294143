#pragma once

#include <QString>

// A digest's text, or why there is none. A failure never carries text that could pass for a digest.
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

    bool isOk() const { return status == Status::Ok; }

    static DigestOutcome ok(QString text) { return {Status::Ok, std::move(text), {}}; }
    static DigestOutcome failed(QString why) { return {Status::Failed, {}, std::move(why)}; }
    static DigestOutcome unavailable(QString why) { return {Status::Unavailable, {}, std::move(why)}; }
    static DigestOutcome cancelled() { return {Status::Cancelled, {}, {}}; }
};
