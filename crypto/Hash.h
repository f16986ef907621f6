#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace lw {

// Root of the hashes. Class-level values are static (ClassX) and virtual (X) alike.
class TDCP_hash {
public:
    TDCP_hash() = default;
    TDCP_hash(const TDCP_hash&) = delete;
    TDCP_hash& operator=(const TDCP_hash&) = delete;
    virtual ~TDCP_hash() = default;

    static int32_t ClassId() { return -1; }
    static std::string ClassAlgorithm() { return {}; }
    static int32_t ClassHashSize() { return -1; }
    static bool ClassKnownAnswerTest() { return false; }

    virtual int32_t Id() const { return ClassId(); }
    virtual std::string Algorithm() const { return ClassAlgorithm(); }
    virtual int32_t HashSize() const { return ClassHashSize(); }
    virtual bool KnownAnswerTest() const { return ClassKnownAnswerTest(); }

    virtual void Init() {}
    // Writes HashSize div 8 bytes, then wipes.
    virtual void Final(std::span<uint8_t> digest) { (void)digest; }
    virtual void Wipe() { m_initialized = false; }
    virtual void Update(std::span<const uint8_t> bytes) { (void)bytes; }

    // Feeds the text's bytes, exactly its length, no terminator.
    void UpdateText(std::string_view text);

    bool Initialized() const { return m_initialized; }

protected:
    bool m_initialized = false;
};

// The instance twins of a hash class's values, written once (see TCipherClass).
template <class Derived, class Base = TDCP_hash>
class THashClass : public Base {
public:
    int32_t Id() const override { return Derived::ClassId(); }
    std::string Algorithm() const override { return Derived::ClassAlgorithm(); }
    int32_t HashSize() const override { return Derived::ClassHashSize(); }
    bool KnownAnswerTest() const override { return Derived::ClassKnownAnswerTest(); }
};

// A value naming a hash class: its class-level size and a way to make an instance.
class TDCP_hashclass {
public:
    virtual ~TDCP_hashclass() = default;
    virtual int32_t HashSize() const = 0;
    virtual std::unique_ptr<TDCP_hash> Create() const = 0;
};

template <class H>
class THashClassOf final : public TDCP_hashclass {
public:
    int32_t HashSize() const override { return H::ClassHashSize(); }
    std::unique_ptr<TDCP_hash> Create() const override { return std::make_unique<H>(); }
};

template <class H>
const TDCP_hashclass& HashClass()
{
    static const THashClassOf<H> instance;
    return instance;
}

} // namespace lw
