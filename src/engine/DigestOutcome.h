#pragma once

#include <QString>

// A digest's text, or why there is none. A failure never carries text that could pass for a digest.
struct DigestOutcome
{
    enum class Status
    {
        Ok,
        Failed,
        Cancelled,
    };

    Status status = Status::Failed;
    QString digest; // lowercase hexadecimal when Ok
    QString reason; // the system's reason when Failed

    bool isOk() const { return status == Status::Ok; }

    static DigestOutcome ok(QString text) { return {Status::Ok, std::move(text), {}}; }
    static DigestOutcome failed(QString why) { return {Status::Failed, {}, std::move(why)}; }
    static DigestOutcome cancelled() { return {Status::Cancelled, {}, {}}; }
};
