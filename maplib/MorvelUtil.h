// Support library: an owning pointer, a levelled process-wide log output,
// and a few string and file helpers. Knows nothing about saved games.
#ifndef MORVELUTIL_H
#define MORVELUTIL_H

#include <cstddef>
#include <new>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace MorvelUtil {

// Owns one heap object (isArray false) or one heap array (isArray true).
// Never copied: two holders of one pointer would free it twice. Ownership
// moves only by assigning a raw pointer or through releaseControl().
template <class T, bool isArray>
class SmartPointer {
public:
    SmartPointer() : pointer(nullptr) {}
    explicit SmartPointer(T* p) : pointer(p) {}
    ~SmartPointer() { destroy(); }

    SmartPointer(const SmartPointer&) = delete;
    SmartPointer& operator=(const SmartPointer&) = delete;

    // Frees what was held, then takes p. Assigning null leaves the holder empty.
    SmartPointer& operator=(T* p)
    {
        destroy();
        pointer = p;
        return *this;
    }

    // Frees the held pointer without clearing the field; only called where the
    // field is overwritten or the holder ends right away.
    void destroy()
    {
        if (pointer != nullptr) {
            if (isArray)
                delete[] pointer;
            else
                delete pointer;
        }
    }

    // Hands the pointer to the caller, who becomes its owner.
    T* releaseControl()
    {
        T* released = pointer;
        pointer = nullptr;
        return released;
    }

    T* get() { return pointer; }
    const T* get() const { return pointer; }
    bool isNull() const { return pointer == nullptr; }
    // Takes T* rather than const T*: with const T*, comparing a non-const
    // holder with a T* is ambiguous against the built-in comparison reached
    // through the conversion to T*.
    bool operator==(T* p) const { return pointer == p; }

    operator T*() { return pointer; }
    operator const T*() const { return pointer; }
    T* operator->() { return pointer; }
    const T* operator->() const { return pointer; }
    T& operator*() { return *pointer; }

private:
    T* pointer;
};

// A stream buffer that accepts nothing: a stream over it fails at its first
// write and drops everything from then on.
class nullBuf : public std::streambuf {
public:
    ~nullBuf() override {}
};

// Process-wide levelled log output. Messages of enabled levels go to the
// stream set with setOutputStream; all others are dropped.
class LogOutput {
public:
    static void setOutputStream(std::ostream& s);
    static void enableLevel(int level);
    static std::ostream& log(int level);

private:
    LogOutput() = delete;
    static std::ostream* stream;
    static std::vector<bool> enabled;
    static std::ostream nullStream;
};

inline void LogOutput::setOutputStream(std::ostream& s)
{
    stream = &s;
}

inline void LogOutput::enableLevel(int level)
{
    // A negative level is ignored: no caller passes one, and growing the
    // flags to a wrapped-around unsigned size would exhaust memory.
    if (level < 0)
        return;
    if (static_cast<unsigned>(level) >= enabled.size())
        enabled.resize(static_cast<size_t>(level) + 1, false);
    enabled[static_cast<size_t>(level)] = true;
}

inline std::ostream& LogOutput::log(int level)
{
    // An enabled level with no stream set yet is dropped like a disabled one.
    if (stream != nullptr && static_cast<unsigned>(level) < enabled.size() &&
        enabled[static_cast<size_t>(level)])
        return *stream;
    return nullStream;
}

// Allocates one value-initialised object or array, or returns null when the
// memory cannot be had, so that callers report their own out-of-memory message.
template <class T>
T* newObjectOrNull()
{
    try {
        return new T();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

template <class T>
T* newArrayOrNull(std::size_t count)
{
    try {
        return new T[count]();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::string convert_to_lower(std::string& s);
std::string convert_to_upper(std::string& s);
std::string copy_to_lower(std::string s);
std::string copy_to_upper(std::string s);
bool fileExists(std::string name);

} // namespace MorvelUtil

#endif
