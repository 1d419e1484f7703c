#include "KCyclicBuffer.h"

#include <algorithm>
#include <cstring>
#include <new>

KCyclicBuffer::~KCyclicBuffer()
{
    delete[] storage;
}

void KCyclicBuffer::Init(int size)
{
    size = std::max(size, 1);
    delete[] storage;
    // operator new[] aligns for any fundamental type, so the control block
    // may sit at the start of the block.
    storage = new char[sizeof(Header) + std::size_t(size)];
    header = new (storage) Header;
    header->base = storage + sizeof(Header);
    header->readPos = header->base;
    header->writePos = header->base;
    header->size = size;
    end = header->base + size;
}

int KCyclicBuffer::Count() const
{
    if (!header)
        return 0;
    if (header->readPos <= header->writePos)
        return int(header->writePos - header->readPos);
    return header->size - int(header->readPos - header->writePos);
}

int KCyclicBuffer::Free() const
{
    return header ? header->size - 1 - Count() : 0;
}

int KCyclicBuffer::Write(const char* src, int len)
{
    if (!header || len <= 0)
        return 0;
    const int n = std::min(header->size - Count() - 1, len);
    if (n <= 0)
        return 0;
    const int first = std::min(int(end - header->writePos), n);
    std::memcpy(header->writePos, src, std::size_t(first));
    header->writePos += first;
    if (header->writePos == end)
        header->writePos = header->base;
    if (n > first)
    {
        std::memcpy(header->writePos, src + first, std::size_t(n - first));
        header->writePos += n - first;
    }
    return n;
}

int KCyclicBuffer::Peek(char* dst, int len) const
{
    if (!header || len <= 0)
        return 0;
    const int n = std::min(Count(), len);
    if (n == 0)
        return 0;
    const int first = std::min(int(end - header->readPos), n);
    std::memcpy(dst, header->readPos, std::size_t(first));
    if (n > first)
        std::memcpy(dst + first, header->base, std::size_t(n - first));
    return n;
}

int KCyclicBuffer::Read(char* dst, int len)
{
    const int n = Peek(dst, len);
    if (n == 0)
        return 0;
    const int toEnd = int(end - header->readPos);
    header->readPos = n < toEnd ? header->readPos + n : header->base + (n - toEnd);
    return n;
}

void KCyclicBuffer::Clear()
{
    if (!header)
        return;
    header->readPos = header->base;
    header->writePos = header->base;
}
