#pragma once

#include <QByteArray>
#include <QList>

// Standard input or output closed by the caller (`<&-`, `>&-`). Their descriptors are held at once, before anything
// else opens one: otherwise the next descriptor opened (Qt's own event descriptor) takes the number, and would be read
// as the input or written as the output. The holder fails every read or write with "Bad file descriptor", as the
// closed descriptor would have.
struct ClosedStreams
{
    bool input = false;
    bool output = false;

    static ClosedStreams holdClosedOnes();
};

// Whether the run reads standard input: no file named, or "-" among them.
bool readsStandardInput(const QList<QByteArray>& files);
