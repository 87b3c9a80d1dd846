// The model checker on editor records built from the input: every record kind, names and
// texts from small tables that include the troublesome ones (cycles, twins, keywords, numbers
// beyond 64 bits). Every input ends in a pass or an NLX::ZetException.

#include "precompiler/checker/DiagnosticClass.h"
#include "rtps/wire/ByteCursor.h"

#include "ZetException.h"

#include <cstddef>
#include <cstdint>

using namespace EditorInternalTypes;

namespace {

const char* const NAMES[] = {"T0",      "T1",      "T2",     "T3",         "T4",         "T5",
                             "t0",      "Int32",   "UInt16", "Byte",       "Char8",      "Boolean",
                             "Float64", "String8", "Ns::T1", "Common::T2", "Common::T3", "class",
                             "a::b",    "x",       "_d",     "pack",       "",           "%3",
                             "all",     "RED",     "T0.T1"};
const char* const TEXTS[] = {"0",
                             "1",
                             "-1",
                             "01",
                             "255",
                             "65536",
                             "-9223372036854775809",
                             "18446744073709551616",
                             "x",
                             "true",
                             "false",
                             "",
                             "3 4",
                             "10 20",
                             "final",
                             "64",
                             "8",
                             "T0, T1",
                             "x.y",
                             ",,",
                             "RED",
                             "a"};

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_cursor(data, size) {}
    bool more() const { return m_cursor.remaining() > 0; }
    unsigned byte() {
        std::uint8_t value = 0;
        m_cursor.readU8(value);
        return value;
    }
    QString name() { return QString::fromUtf8(NAMES[byte() % (sizeof NAMES / sizeof NAMES[0])]); }
    QString text() { return QString::fromUtf8(TEXTS[byte() % (sizeof TEXTS / sizeof TEXTS[0])]); }
    QMemberAgregate member() {
        QMemberAgregate m;
        m.m_name = name();
        m.m_type = name();
        m.m_key = text();
        m.m_shared = text();
        m.m_optional = text();
        m.m_default = text();
        return m;
    }

private:
    RTPS::ByteCursor m_cursor;
};

void addRecord(Input& in, VEXA_Types& model) {
    const unsigned kind = in.byte() % 12;
    const unsigned count = in.byte() % 4;
    switch (kind) {
        case 0: {
            Primitive p;
            p.m_name = in.name();
            p.m_type = in.name();
            p.m_key = in.text();
            model.m_primitives.append(p);
            break;
        }
        case 1: {
            Enumeration e;
            e.m_name = in.name();
            e.m_type = in.name();
            e.m_key = in.text();
            e.m_extensibility = in.text();
            for (unsigned i = 0; i < count; ++i) {
                Enumerator enumerator;
                enumerator.m_name = in.name();
                enumerator.m_value = in.text();
                e.m_enumerators.append(enumerator);
            }
            model.m_enumerations.append(e);
            break;
        }
        case 2: {
            MapData m;
            m.m_name = in.name();
            m.m_typeElement = in.name();
            m.m_typeMapKey = in.name();
            m.m_elementMaxLength = in.text();
            model.m_maps.append(m);
            break;
        }
        case 3: {
            Sequence s;
            s.m_name = in.name();
            s.m_seqType = in.name();
            s.m_memberMaxLength = in.text();
            model.m_sequences.append(s);
            break;
        }
        case 4: {
            Array a;
            a.m_name = in.name();
            a.m_type = in.name();
            a.m_bounds = in.text();
            a.m_key = in.text();
            model.m_arrays.append(a);
            break;
        }
        case 5: {
            String s;
            s.m_name = in.name();
            s.m_type = in.name();
            s.m_maxLength = in.text();
            s.m_key = in.text();
            model.m_strings.append(s);
            break;
        }
        case 6: {
            BitSet b;
            b.m_name = in.name();
            b.m_bound = in.text();
            for (unsigned i = 0; i < count; ++i) {
                BitElement element;
                element.m_name = in.name();
                element.m_flush = in.text();
                b.m_bitElements.append(element);
            }
            model.m_bitSets.append(b);
            break;
        }
        case 7: {
            Alias a;
            a.m_name = in.name();
            a.m_type = in.name();
            model.m_aliases.append(a);
            break;
        }
        case 8: {
            Union u;
            u.m_nameUnion = in.name();
            u.m_typeDiscriminant = in.name();
            u.m_key = in.text();
            for (unsigned i = 0; i < count; ++i) {
                const QString label = in.text();
                u.m_cases.append({label, in.member()});
            }
            model.m_unions.append(u);
            break;
        }
        case 9:
        case 10: {
            StructureQ s;
            s.m_name = in.name();
            for (unsigned i = 0; i < count; ++i) {
                s.m_members.append(in.member());
            }
            model.m_structures.append(s);
            break;
        }
        default: {
            TopicType t;
            t.m_structName = in.name();
            t.m_keys = in.text();
            model.m_topicTypes.append(t);
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    VEXA_Types mainModel;
    VEXA_Types modules;
    mainModel.m_namespace = in.name();
    for (int records = 0; records < 64 && in.more(); ++records) {
        const bool included = (in.byte() & 1) != 0;
        addRecord(in, included ? modules : mainModel);
    }
    DiagnosticClass checker(&mainModel, &modules);
    try {
        checker.StartDiagnostics();
    } catch (const NLX::ZetException&) {
        // A refused model is a normal outcome.
    }
    return 0;
}
