#ifndef PARVESTA_KCYCLICBUFFER_H
#define PARVESTA_KCYCLICBUFFER_H

#include <cstdint>

// Fixed-capacity byte FIFO that collects an instrument's reply. One byte of
// the data area always stays free, so a buffer of size n holds n - 1 bytes.
// Storage is reserved once by Init; Write and Read never allocate.
class KCyclicBuffer
{
public:
    // Control block at the start of the storage block.
    struct Header
    {
        char* readPos;
        char* writePos;
        char* base;
        std::int32_t size;
    };

    KCyclicBuffer() = default;
    virtual ~KCyclicBuffer();
    KCyclicBuffer(const KCyclicBuffer&) = delete;
    KCyclicBuffer& operator=(const KCyclicBuffer&) = delete;

    // Reserves a data area of size bytes (at least 1) and empties the buffer.
    void Init(int size);
    int Count() const;
    // Bytes that still fit.
    int Free() const;
    // Stores what fits of len bytes and returns how many were stored; a full
    // buffer refuses the rest and keeps what it holds.
    int Write(const char* src, int len);
    // Moves up to len bytes, oldest first, into dst; returns how many.
    int Read(char* dst, int len);
    // Copies up to len bytes, oldest first, into dst and keeps them; returns how many.
    int Peek(char* dst, int len) const;
    void Clear();

    Header* header = nullptr;
    char* storage = nullptr;
    char* end = nullptr;
    // Kept for callers that ask for it; Write never overwrites held bytes.
    bool overwrite = false;
};

#endif
