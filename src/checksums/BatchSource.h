#pragma once

#include "DigestBatch.h"
#include "VerifyLoop.h"

// The engine's batch as the verify loop's source of digests.
class BatchSource : public DigestSource
{
public:
    explicit BatchSource(DigestBatch& batch) : m_batch(batch) {}

    void submit(const VerifyRequest& request) override
    {
        m_batch.submit({request.nativePath, request.algorithms, request.fromStandardInput});
    }
    FileDigests takeNext() override { return m_batch.takeNext(); }
    std::optional<std::pair<std::size_t, FileDigests>> takeAny(std::chrono::milliseconds wait) override
    {
        return m_batch.takeAny(wait);
    }

private:
    DigestBatch& m_batch;
};
