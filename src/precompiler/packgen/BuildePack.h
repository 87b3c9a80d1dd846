#ifndef TESSGEN_PACKGEN_BUILDEPACK_H
#define TESSGEN_PACKGEN_BUILDEPACK_H

#include "precompiler/frontend/TypeKind.h"

#include "vexa_pack.h"

#include <cstdint>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

class AnyType;
class Array;
class Map;
class ResourceDDS;
class Sequence;
class Structure;
class Union;

namespace NLX {

class Logger;

// The pack-code generator of one module: for every topic structure it writes the definitions
// of the topic's CDR functions into the two pack files, and on the way the free helpers that
// pack, unpack and skip the structures, unions, maps, sequences and arrays the topic holds.
// The model compiler builds one per module with its nine fields in this order and deletes it
// at the next module.
//
// Each helper is written once per run, into the section of the module being generated when a
// topic first needs it, declared in the header before its definition in the source; the
// helpers a helper calls are written before it. Which helpers exist is kept in the types'
// build flags and in records of this class that outlive the per-module object (startRun()
// forgets them). Calls name a helper by the namespace it was written in; two types share a
// helper only when their C++ types are the same (cppSpelling).
//
// Every decision on a form (runtime call or module helper, primitive or not, case label) is
// taken on the type behind all its aliases. Generated code reads untrusted bytes: every
// generated reader returns 0 (false) on short or malformed data, and the topic functions test
// the buffer length before they touch it.
//
// Refusals log one line and throw NLX::ZetException naming module, type and fault, before
// the refused helper is written: a map whose key std::map cannot order or the skip functions
// cannot step over, a fixed layout whose packed size does not fit in 32 bits, and a topic key
// that is no primitive, enumeration, string or array of primitives or enumerations.
struct BuildePack {
    std::ostream* m_header;    // model_DCPS_Pack.h, not owned
    std::ostream* m_source;    // model_DCPS_Pack.cpp, not owned
    std::string m_moduleName;  // the module's namespace
    bool m_shiftDeclared;      // scratch flag of the length writer; false at the start
    VEXA_PACK::EnEncapsulation m_encapsulation;  // CDR_LE
    ResourceDDS* m_templates;                    // the code template table, not owned
    // Function-name suffix per encapsulation: CDR_LE "", CDR_BE "CH".
    std::map<VEXA_PACK::EnEncapsulation, std::string> m_suffixes;
    // The encapsulations the read side is written for: CDR_LE, then CDR_BE.
    std::vector<VEXA_PACK::EnEncapsulation> m_encapsulations;
    Logger* m_logger;  // not owned

    // The helper families, each with its build flag per type.
    enum Family { PACK_FAMILY = 0, UNPACK_FAMILY, NEXT_FAMILY, LENPACKED_FAMILY, FAMILIES };

    // Forgets every helper of an earlier compilation; the model compiler calls it at the start
    // of every run, before the first module.
    static void startRun();

    // Called for every structure of the module right after its class; writes the CDR
    // functions of a topic structure into the two pack files, nothing for any other.
    void createTopic(Structure* structure);

    // ---- names of callees in generated code ----
    // The function that packs a value of the type: "VEXA_PACK::packPrimitive" or
    // "VEXA_PACK::pack" where the runtime serves it, else the helper's namespace + "::pack".
    std::string PACK_F_NAME(AnyType* type);
    // A string, narrow or wide (a type behind its aliases).
    static bool textType(AnyType* base);
    // The same for unpacking, without the "CH" suffix.
    std::string UNPACK_F_NAME(AnyType* type);
    // The whole call that steps over a value of the type (without "pos = " and ";");
    // runtimeCallee becomes true when the call is a runtime form that reads no object.
    std::string NEXT_F_NAME(AnyType* type, const std::string& object, const std::string& buffer,
                            const std::string& position, const std::string& length,
                            bool& runtimeCallee, VEXA_PACK::EnEncapsulation encapsulation);
    std::string NEXT_F_NAME(AnyType* type, const std::string& object, const std::string& buffer,
                            const std::string& position, const std::string& length,
                            VEXA_PACK::EnEncapsulation encapsulation);
    // Member path "a.b" as generated code accesses it: "m_a.m_b".
    static std::string replaceLiteral(const std::string& path);
    // The C++ type a type stands for, every alias resolved and every name fully qualified:
    // equal texts are one C++ type, so one helper serves them.
    static std::string cppSpelling(AnyType* type);

    // ---- fixed layout, computed while generating; positions count from the first data byte
    // The position after a value of the (fixed-size) type placed at pos.
    std::uint64_t lenPackedFixed(AnyType* type, std::uint64_t pos);
    // The same, also filling offset and length of every key whose path is reached; path is
    // the member path of this type.
    std::uint64_t lenPackedFixed(AnyType* type, std::uint64_t pos,
                                 const std::vector<std::string>& keyPaths, const std::string& path,
                                 std::vector<std::uint32_t>& keyOffsets,
                                 std::vector<std::uint32_t>& keyLengths);
    // lenPackedFixed for a fixed-size type (fixed true), pos unchanged for any other.
    std::uint64_t lenPackedFixedFirst(AnyType* type, std::uint64_t pos, bool& fixed);
    // The packed length of the key members packed alone, back to back; stops at the first key
    // of variable size (allFixed false).
    std::uint64_t getLengthFixedKey(Structure* topic, bool& allFixed);
    // lenPacked() and maxlenPacked() of a fixed-size topic, as constants.
    void lenPackedTopic(Structure* topic);
    // Statement text declaring shift, the padding before an n-byte unit at run-time pos.
    static std::string SHIFT(std::string indent, unsigned n);
    // Forgets the layouts worked out in an earlier run.
    static void forgetLayouts();

    // ---- fixed blocks (FixedBlocks.cpp) ----
    // One primitive, enumeration, bit set or array of them inside a block, at offset
    // from the block's first byte; count 0 for a single value. path is the member path from
    // the block's object (".m_a.m_b").
    struct BlockItem {
        std::string path;
        std::uint64_t offset = 0;
        std::uint64_t size = 0;  // of one value
        std::uint64_t count = 0;
        std::uint32_t alignment = 1;
        unsigned dimensions = 0;  // of an array, arrays of arrays counted through
        bool boolean = false;
        bool bits = false;  // a bit set, packed as the unsigned integer of its size
    };
    // A fixed-size value laid out item by item: start is where its first item lies (absolute),
    // span the bytes from there to its end, alignment that of its first item.
    struct FixedBlock {
        std::vector<BlockItem> items;
        std::uint64_t start = 0;
        std::uint64_t span = 0;
        unsigned alignment = 1;
    };
    // The block of the type placed at start; false when the type holds anything else than
    // primitives (Float128 aside), enumerations, bit sets, arrays of them and structures of
    // such.
    bool fixedBlockAt(AnyType* type, std::uint64_t start, FixedBlock& block);
    // The same for a value that may start anywhere: only when its offsets do not depend on it.
    bool fixedBlock(AnyType* type, FixedBlock& block);
    // A value that a helper would pack (a structure, array or bit set) and that is a block.
    bool blockValue(AnyType* type, FixedBlock& block);
    // A block whose values can follow one another at a constant stride (arrays, sequences).
    bool fixedRun(AnyType* element, FixedBlock& block);
    // Statements storing the block's items of object at pointer + base + offset, gaps zeroed.
    std::string packItems(const FixedBlock& block, const std::string& object,
                          const std::string& pointer, std::uint64_t base, unsigned level);
    // Statements loading them from pointer + offset in the data's byte order.
    std::string unpackItems(const FixedBlock& block, const std::string& object,
                            const std::string& pointer, unsigned level, bool swapped);

    // ---- pack ----
    // The statements that place a fixed block of size bytes at pos: p, or return 0.
    static std::string blockStart(const FixedBlock& block, const std::string& size);
    void packTopic(Structure* topic);
    void buildPackF(AnyType* type);
    void buildPackF(Structure* structure);
    void buildPackF(Map* map);
    void buildPackF(Sequence* sequence);
    void buildPackF(Array* array);
    void buildPackF(Union* unionType);

    // ---- unpack ----
    // The statements that find a fixed block of size bytes at pos: p, or return failure.
    static std::string unpackBlockStart(const FixedBlock& block, const std::string& size,
                                        const std::string& failure);
    void unpackTopic(Structure* topic);
    std::string unpackTopicFixed(Structure* topic, unsigned level);
    std::string unpackTopicFixedFirst(Structure* topic, VEXA_PACK::EnEncapsulation encapsulation,
                                      unsigned level);
    // Inline read statements of one item of a fixed-size part; offset, pending and the bit-set
    // flag carry the reader's state from item to item.
    std::string Code_UnPack(AnyType* type, const std::string& expr, std::uint64_t& offset,
                            std::string indent, bool& bitsetFlag, std::uint64_t& pending,
                            VEXA_PACK::EnEncapsulation encapsulation);
    void buildUnPackF(AnyType* type);
    void buildUnPackF(Structure* structure);
    void buildUnPackF(Map* map);
    void buildUnPackF(Sequence* sequence);
    void buildUnPackF(Array* array);
    void buildUnPackF(Union* unionType);

    // ---- skip ----
    void buildNextF(AnyType* type);
    void buildNextF(Structure* structure);
    void buildNextF(Map* map);
    void buildNextF(Sequence* sequence);
    void buildNextF(Array* array);
    void buildNextF(Union* unionType);

    // ---- lengths of variable-size data (LengthWriters.cpp) ----
    // lenPacked() and maxlenPacked() of a variable-size topic, and getKeyPos when it has keys.
    void lenPacked(Structure* topic);
    // Appends to out, at the level, the statements that move the generated local pos past a
    // value of the type named by the object text.
    void lenPackedChanged(AnyType* type, const std::string& object, std::string& out,
                          unsigned level);
    // The call that measures a value of the type: "...(" ... ");". Sequences of simple
    // elements and runtime forms are measured inline; simple is true for a text that does not
    // name the object.
    std::string lenPacked_F_NAME2(AnyType* type, const std::string& object,
                                  const std::string& position);
    std::string lenPacked_F_NAME2(AnyType* type, const std::string& object,
                                  const std::string& position, bool& simple);
    void build_lenPackedF(AnyType* type);
    void build_lenPackedF(Structure* structure);
    void build_lenPackedF(Map* map);
    void build_lenPackedF(Sequence* sequence);
    void build_lenPackedF(Array* array);
    void build_lenPackedF(Union* unionType);
    // getKeyPos statements of a value at member path path (m_a.m_b): they move pos past it and
    // fill the pairs of the keys it holds; located counts the keys placed so far, shiftUsed
    // becomes true when the statements use pos_old and shift.
    void genBody_getKeyPos(AnyType* type, const std::string& path,
                           const std::vector<std::string>& keyPaths, unsigned& located,
                           std::string& out, unsigned level, bool& shiftUsed);

    // ---- key functions of topics (TopicKeyWriters.cpp) ----
    // Refuses a key whose type the key functions cannot serve: anything but a primitive, an
    // enumeration, a string or an array of primitives or enumerations, aliases resolved.
    void checkKeys(Structure* topic);
    // The key-only branch of keyEqual(buffer).
    std::string keyEqualBufKey(Structure* topic);
    // One line comparing the key member with its packed form at pos.
    std::string COMPARE_F_NAME(AnyType* type, const std::string& member, const std::string& buffer,
                               const std::string& position, const std::string& length,
                               VEXA_PACK::EnEncapsulation encapsulation);
    void KeyHash_t(Structure* topic);
    void keyEqual(Structure* topic);
    void keyEqualBuf(Structure* topic);
    void packKey(Structure* topic);
    void keylenPacked(Structure* topic);
    void unpackKey(Structure* topic);
    void keyEqualBufBuf(Structure* topic);

    // ---- shared by the writers ----
    // The topic's class as the module's code names it.
    std::string className(const AnyType* type) const;
    // The helper family's build flag of the type.
    static enBuildPack& flagOf(Family family, AnyType* type);
    // True when this writer is to write the type's helper of the family now: its flag is above
    // 1 and no helper of its C++ type exists yet (a type of the same C++ type is marked done).
    bool claim(Family family, AnyType* type);
    // Marks the type's helper of the family as there, written in this module's section: the
    // flag on the type and on every same type of the same C++ type.
    void markWritten(Family family, AnyType* type, enBuildPack flag);
    // The family's flag on the type and on every same type of the same C++ type.
    static void setFlag(Family family, AnyType* type, enBuildPack flag);
    // Whether a value of the type can pack to no bytes at all (structures of nothing): a
    // sequence of such elements tests its count against the bytes left before it loops.
    static bool canPackEmpty(AnyType* type);
    // The namespace the helper of the type was written in; the type's own module when none
    // was written here (bit sets, whose functions come with their class).
    static std::string helperNamespace(Family family, AnyType* type);
    // Head of a generated helper; in a definition the parameters the body does not use are
    // left unnamed.
    static std::string helperHead(const std::string& name,
                                  const std::vector<std::pair<std::string, std::string>>& params,
                                  const std::string& body, bool definition);
    // Writes the declaration into the header and the definition into the source.
    void writeHelper(const std::string& name,
                     const std::vector<std::pair<std::string, std::string>>& params,
                     const std::string& body, const std::string& afterHead = " {");
    // Refuses a map whose key cannot be a generated map key.
    void checkMapKey(Map* map);
    // Refuses a fixed layout whose packed size passes what 32-bit positions can hold.
    [[noreturn]] void refuseSize(AnyType* type, const std::string& size) const;
    [[noreturn]] void refuse(const char* function, int line, const std::string& text) const;
    void log(const std::string& text, const std::string& name) const;
};

}  // namespace NLX

#endif
