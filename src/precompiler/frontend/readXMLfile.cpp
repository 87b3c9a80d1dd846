#include "precompiler/frontend/readXMLfile.h"

#include "precompiler/frontend/ModelFileScreen.h"

#include "precompiler/frontend/ModelSchema.h"
#include "precompiler/frontend/Reader.h"

#include "ZetException.h"

#include <QFile>
#include <QFileInfo>
#include <QLatin1String>

#include <utility>

using namespace EditorInternalTypes;

namespace {

const char* const READ_PREFIX = "readXMLfile::ReadXmlDataFile. ";

[[noreturn]] void fail(const QString& text) {
    throw NLX::ZetException(text.toStdString());
}

QString number(qint64 value) {
    return QString::number(value);
}

// All text beneath a node, in document order. Iterative: the schema keeps leaves flat, but the
// walk must not depend on it.
QString leafText(const QDomNode& leaf) {
    QString text;
    QDomNode node = leaf.firstChild();
    while (!node.isNull()) {
        if (node.isText() || node.isCDATASection()) {
            text += node.nodeValue();
        }
        if (node.hasChildNodes()) {
            node = node.firstChild();
            continue;
        }
        while (!node.isNull() && node != leaf && node.nextSibling().isNull()) {
            node = node.parentNode();
        }
        if (node.isNull() || node == leaf) {
            break;
        }
        node = node.nextSibling();
    }
    return text;
}

template <typename Visit>
void forEachChildElement(const QDomNode& parent, Visit visit) {
    for (QDomNode node = parent.firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (node.isElement()) {
            visit(node.toElement());
        }
    }
}

// A leaf of a record: the element name and the text field it fills.
template <typename Record>
struct LeafField {
    const char* tag;
    QString Record::*field;
};

// Stores the child's text when its name is one of the record's leaves; the last one wins.
template <typename Record, std::size_t N>
bool readLeaf(const QDomElement& child, Record& record, const LeafField<Record> (&fields)[N]) {
    const QString tag = child.tagName();
    for (const LeafField<Record>& leaf : fields) {
        if (tag == QLatin1String(leaf.tag)) {
            record.*(leaf.field) = leafText(child);
            return true;
        }
    }
    return false;
}

template <typename Record, std::size_t N>
void readLeaves(const QDomNode& element, Record& record, const LeafField<Record> (&fields)[N]) {
    forEachChildElement(element,
                        [&](const QDomElement& child) { readLeaf(child, record, fields); });
}

const LeafField<AloneModule> MODULE_LEAVES[] = {
    {"includeNamespace", &AloneModule::m_includeNamespace},
    {"includeFile", &AloneModule::m_includeFile},
    {"annotations", &AloneModule::m_annotations}};

const LeafField<VEXA_Types> IDENTIFICATION_LEAVES[] = {
    {"name", &VEXA_Types::m_modelName},
    {"purpose", &VEXA_Types::m_purpose},
    {"version", &VEXA_Types::m_version},
    {"modificationDate", &VEXA_Types::m_modificationDate},
    {"description", &VEXA_Types::m_description}};

const LeafField<Primitive> PRIMITIVE_LEAVES[] = {{"name", &Primitive::m_name},
                                                 {"type", &Primitive::m_type},
                                                 {"key", &Primitive::m_key},
                                                 {"definition", &Primitive::m_definition}};

const LeafField<Enumeration> ENUMERATION_LEAVES[] = {
    {"name", &Enumeration::m_name},
    {"key", &Enumeration::m_key},
    {"extensibility", &Enumeration::m_extensibility},
    {"type", &Enumeration::m_type},
    {"definition", &Enumeration::m_definition}};

const LeafField<Enumerator> ENUMERATOR_LEAVES[] = {{"name", &Enumerator::m_name},
                                                   {"value", &Enumerator::m_value},
                                                   {"definition", &Enumerator::m_definition}};

const LeafField<MapData> MAP_LEAVES[] = {{"name", &MapData::m_name},
                                         {"typeElement", &MapData::m_typeElement},
                                         {"shared", &MapData::m_shared},
                                         {"typeMapKey", &MapData::m_typeMapKey},
                                         {"elementMaxLength", &MapData::m_elementMaxLength},
                                         {"definition", &MapData::m_definition}};

const LeafField<Sequence> SEQUENCE_LEAVES[] = {{"name", &Sequence::m_name},
                                               {"memberMaxLength", &Sequence::m_memberMaxLength},
                                               {"seqType", &Sequence::m_seqType},
                                               {"shared", &Sequence::m_shared},
                                               {"definition", &Sequence::m_definition}};

const LeafField<Array> ARRAY_LEAVES[] = {
    {"name", &Array::m_name},     {"type", &Array::m_type}, {"shared", &Array::m_shared},
    {"bounds", &Array::m_bounds}, {"key", &Array::m_key},   {"definition", &Array::m_definition}};

const LeafField<String> STRING_LEAVES[] = {{"name", &String::m_name},
                                           {"type", &String::m_type},
                                           {"maxLength", &String::m_maxLength},
                                           {"key", &String::m_key},
                                           {"definition", &String::m_definition}};

const LeafField<BitSet> BITSET_LEAVES[] = {
    {"name", &BitSet::m_name}, {"bound", &BitSet::m_bound}, {"definition", &BitSet::m_definition}};

const LeafField<BitElement> BITELEMENT_LEAVES[] = {{"name", &BitElement::m_name},
                                                   {"flush", &BitElement::m_flush},
                                                   {"definition", &BitElement::m_definition}};

const LeafField<Alias> ALIAS_LEAVES[] = {
    {"name", &Alias::m_name}, {"type", &Alias::m_type}, {"definition", &Alias::m_definition}};

const LeafField<Union> UNION_LEAVES[] = {{"nameUnion", &Union::m_nameUnion},
                                         {"typeDiscriminant", &Union::m_typeDiscriminant},
                                         {"key", &Union::m_key},
                                         {"definition", &Union::m_definition}};

const LeafField<StructureQ> STRUCTURE_LEAVES[] = {{"name", &StructureQ::m_name},
                                                  {"definition", &StructureQ::m_definition}};

const LeafField<QMemberAgregate> MEMBER_LEAVES[] = {{"name", &QMemberAgregate::m_name},
                                                    {"type", &QMemberAgregate::m_type},
                                                    {"key", &QMemberAgregate::m_key},
                                                    {"shared", &QMemberAgregate::m_shared},
                                                    {"optional", &QMemberAgregate::m_optional},
                                                    {"default", &QMemberAgregate::m_default},
                                                    {"definition", &QMemberAgregate::m_definition}};

const LeafField<Werbatim> VERBATIM_LEAVES[] = {{"language", &Werbatim::m_language},
                                               {"placement", &Werbatim::m_placement},
                                               {"text", &Werbatim::m_text}};

const LeafField<TopicType> TOPIC_LEAVES[] = {{"structName", &TopicType::m_structName},
                                             {"definition", &TopicType::m_definition}};

}  // namespace

readXMLfile::readXMLfile(VEXA_Types* model, Reader* reader, NLX::Logger* logger)
    : m_model(model), m_logger(logger), m_reader(reader) {}

readXMLfile::~readXMLfile() = default;

void readXMLfile::setExecutablePathSource(ExecutablePathSource source) {
    ModelSchema::setExecutablePathSource(source);
}

int readXMLfile::returnKindOfPrimitive(const QString& typeName) {
    static const char* const NAMES[] = {"Boolean",  "Byte",  "Int16",  "UInt16",  "Int32",
                                        "UInt32",   "Int64", "UInt64", "Float32", "Float64",
                                        "Float128", "Char8", "Char32"};
    for (int i = 0; i < static_cast<int>(sizeof(NAMES) / sizeof(NAMES[0])); ++i) {
        if (typeName == QLatin1String(NAMES[i])) {
            return i + 1;
        }
    }
    return KIND_UNKNOWN_PRIMITIVE;
}

void readXMLfile::ReadXmlDataFile(const QString& fileName, const QString&) {
    readFile(fileName, true);
}

void readXMLfile::ReadXmlDataFile(const QString& fileName) {
    readFile(fileName, false);
}

QString readXMLfile::modelDirectory() const {
    return m_reader != nullptr ? m_reader->getModelDirectory() : QStringLiteral(".");
}

void readXMLfile::clear() {
    m_success = false;
    m_document = QDomDocument();
    m_root = QDomElement();
    m_modelIdentification = QDomElement();
    m_namespace = QDomElement();
    m_primitiveTypes = QDomElement();
    m_constructedTypes = QDomElement();
    for (QVector<QDomNode>* list :
         {&m_includedModules, &m_topicDataTypes, &m_enumerations, &m_maps, &m_sequences, &m_arrays,
          &m_strings, &m_bitSets, &m_aliases, &m_unions, &m_structures}) {
        list->clear();
    }
}

void readXMLfile::readFile(const QString& fileName, bool mainFile) {
    m_fileName = fileName;

    ModelSchema schema;
    switch (schema.load()) {
        case ModelSchema::Load::Loaded:
            break;
        case ModelSchema::Load::NoDirectory:
            fail(QStringLiteral("Ошибка: ") + QLatin1String(READ_PREFIX) +
                 QStringLiteral("Путь к файлу схемы: ") + schema.executablePath() +
                 QStringLiteral(" не найден"));
        case ModelSchema::Load::Unreadable:
            fail(QStringLiteral("Ошибка:") + QLatin1String(READ_PREFIX) +
                 QStringLiteral("Файл схемы: ") + schema.path() +
                 (mainFile ? QStringLiteral(" не может быть открыт для чтения!")
                           : QStringLiteral(" не может быть открыт для чтения.")));
        case ModelSchema::Load::Invalid:
            fail(QStringLiteral("Ошибка: readXMLfile::ReadXmlDataFile. Файл схемы ") +
                 schema.path() + QStringLiteral(" не прошел валидацию:  в строке = ") +
                 number(schema.line()) + QStringLiteral(" и колонке = ") + number(schema.column()));
    }

    // An included module is always looked for beside the main file; so is a main file given by a
    // relative name.
    const QFileInfo given(fileName);
    if (!mainFile || !given.isAbsolute()) {
        m_fileName = modelDirectory() + QLatin1Char('/') + given.fileName();
    }

    const QString filePrefix = QStringLiteral("Ошибка: readXMLfile::ReadXmlDataFile. Файл ");
    QFile file(m_fileName);
    // Only regular files: a FIFO or a device would block or never end.
    if (!QFileInfo(m_fileName).isFile() || !file.open(QIODevice::ReadOnly)) {
        m_success = false;
        fail(filePrefix + m_fileName + QStringLiteral(" не может быть открыт для чтения!"));
    }
    if (file.size() > MAX_FILE_SIZE) {
        fail(filePrefix + m_fileName + QStringLiteral(" слишком велик: ") + number(file.size()) +
             QStringLiteral(" байт, допускается не больше ") + number(MAX_FILE_SIZE));
    }

    qint64 line = 0;
    qint64 column = 0;
    const QString unfit = screenModelFile(file, &line, &column);
    if (!unfit.isEmpty()) {
        fail(filePrefix + m_fileName + QStringLiteral(" содержит ошибочный XML формат: ") + unfit +
             QStringLiteral(" в строке = ") + number(line) + QStringLiteral(" и колонке = ") +
             number(column));
    }

    QString parseError;
    int errorLine = 0;
    int errorColumn = 0;
    if (!file.seek(0) || !m_document.setContent(&file, &parseError, &errorLine, &errorColumn)) {
        fail(filePrefix + m_fileName + QStringLiteral(" содержит ошибочный XML формат: ") +
             parseError + QStringLiteral(" в строке = ") + number(errorLine) +
             QStringLiteral(" и колонке = ") + number(errorColumn));
    }

    // Validated from the file already open, so that the checked text is the parsed one.
    if (!schema.validate(file)) {
        fail(filePrefix + m_fileName + QStringLiteral(" не прошел валидацию: ") +
             schema.description() + QStringLiteral(" в строке = ") + number(schema.line()) +
             QStringLiteral(" и колонке = ") + number(schema.column()));
    }

    m_root = m_document.documentElement();
    m_success = true;
}

void readXMLfile::traverseNode() {
    const QString rootName = m_root.tagName();
    if (rootName != QLatin1String("module")) {
        fail(QStringLiteral("Ошибка: readXMLfile::traverseNode. Первый тег ") + rootName +
             QStringLiteral(" не является 'module!"));
    }

    forEachChildElement(m_root, [this](const QDomElement& child) {
        const QString tag = child.tagName();
        if (tag == QLatin1String("modelIdentification")) {
            m_modelIdentification = child;
        } else if (tag == QLatin1String("namespace")) {
            m_namespace = child;
        } else if (tag == QLatin1String("primitivetypes")) {
            m_primitiveTypes = child;
        } else if (tag == QLatin1String("constructedtypes")) {
            m_constructedTypes = child;
        } else if (tag == QLatin1String("topicDataType")) {
            m_topicDataTypes.append(child);
        } else if (tag == QLatin1String("includedModule")) {
            m_includedModules.append(child);
        }
    });

    for (const QDomNode& module : qAsConst(m_includedModules)) {
        traverseNodeModule(module.toElement());
    }
    if (!m_modelIdentification.isNull()) {
        traverseNodeModelIdentification(m_modelIdentification);
    }
    m_model->m_namespace = m_namespace.isNull() ? QString() : leafText(m_namespace);
    if (!m_primitiveTypes.isNull()) {
        traverseNodePrimitives(m_primitiveTypes);
    }
    if (!m_constructedTypes.isNull()) {
        traverseNodeConstructedtypes(m_constructedTypes);
    }
    for (const QDomNode& topic : qAsConst(m_topicDataTypes)) {
        traverseNodeTopicData(topic.toElement());
    }
}

void readXMLfile::traverseNodeModule(const QDomElement& element) {
    AloneModule module;
    readLeaves(element, module, MODULE_LEAVES);
    m_model->m_includedModules.append(module);
}

void readXMLfile::traverseNodeModelIdentification(const QDomElement& element) {
    readLeaves(element, *m_model, IDENTIFICATION_LEAVES);
}

void readXMLfile::traverseNodePrimitives(const QDomElement& element) {
    forEachChildElement(element, [this](const QDomElement& child) {
        if (child.tagName() == QLatin1String("primitive")) {
            traverseSinglePrimitive(child);
        }
    });
}

void readXMLfile::traverseSinglePrimitive(const QDomElement& element) {
    Primitive primitive;
    forEachChildElement(element, [&primitive](const QDomElement& child) {
        if (readLeaf(child, primitive, PRIMITIVE_LEAVES) &&
            child.tagName() == QLatin1String("type")) {
            primitive.m_kind = returnKindOfPrimitive(primitive.m_type);
        }
    });
    m_model->m_primitives.append(primitive);
}

void readXMLfile::traverseNodeConstructedtypes(const QDomElement& element) {
    const std::pair<const char*, QVector<QDomNode>*> groups[] = {{"enumeration", &m_enumerations},
                                                                 {"map", &m_maps},
                                                                 {"sequence", &m_sequences},
                                                                 {"array", &m_arrays},
                                                                 {"string", &m_strings},
                                                                 {"bitSet", &m_bitSets},
                                                                 {"alias", &m_aliases},
                                                                 {"union", &m_unions},
                                                                 {"structure", &m_structures}};
    forEachChildElement(element, [&groups](const QDomElement& child) {
        const QString tag = child.tagName();
        for (const auto& group : groups) {
            if (tag == QLatin1String(group.first)) {
                group.second->append(child);
                return;
            }
        }
    });
    // Fixed order, whatever the document's: a structure may use any of the kinds before it.
    traverseNodeEnumeration();
    traverseNodeMap();
    traverseNodeSequence();
    traverseNodeArray();
    traverseNodeString();
    traverseNodeBitSet();
    traverseNodeAlias();
    traverseNodeUnion();
    traverseNodeStructure();
}

void readXMLfile::traverseNodeEnumeration() {
    for (const QDomNode& node : qAsConst(m_enumerations)) {
        Enumeration enumeration;
        forEachChildElement(node, [&](const QDomElement& child) {
            if (child.tagName() == QLatin1String("enumerator")) {
                traverseNodeEnumerator(child, enumeration);
            } else {
                readLeaf(child, enumeration, ENUMERATION_LEAVES);
            }
        });
        m_model->m_enumerations.append(enumeration);
    }
}

void readXMLfile::traverseNodeEnumerator(const QDomElement& element, Enumeration& owner) {
    Enumerator enumerator;
    readLeaves(element, enumerator, ENUMERATOR_LEAVES);
    owner.m_enumerators.append(enumerator);
}

void readXMLfile::traverseNodeMap() {
    for (const QDomNode& node : qAsConst(m_maps)) {
        MapData map;
        readLeaves(node, map, MAP_LEAVES);
        m_model->m_maps.append(map);
    }
}

void readXMLfile::traverseNodeSequence() {
    for (const QDomNode& node : qAsConst(m_sequences)) {
        Sequence sequence;
        readLeaves(node, sequence, SEQUENCE_LEAVES);
        m_model->m_sequences.append(sequence);
    }
}

void readXMLfile::traverseNodeArray() {
    for (const QDomNode& node : qAsConst(m_arrays)) {
        Array array;
        readLeaves(node, array, ARRAY_LEAVES);
        m_model->m_arrays.append(array);
    }
}

void readXMLfile::traverseNodeString() {
    for (const QDomNode& node : qAsConst(m_strings)) {
        String string;
        readLeaves(node, string, STRING_LEAVES);
        m_model->m_strings.append(string);
    }
}

void readXMLfile::traverseNodeBitSet() {
    for (const QDomNode& node : qAsConst(m_bitSets)) {
        BitSet bitSet;
        forEachChildElement(node, [&](const QDomElement& child) {
            if (child.tagName() == QLatin1String("bitElement")) {
                traverseNodeBitElement(child, bitSet);
            } else {
                readLeaf(child, bitSet, BITSET_LEAVES);
            }
        });
        m_model->m_bitSets.append(bitSet);
    }
}

void readXMLfile::traverseNodeBitElement(const QDomElement& element, BitSet& owner) {
    BitElement bitElement;
    readLeaves(element, bitElement, BITELEMENT_LEAVES);
    owner.m_bitElements.append(bitElement);
}

void readXMLfile::traverseNodeAlias() {
    for (const QDomNode& node : qAsConst(m_aliases)) {
        Alias alias;
        readLeaves(node, alias, ALIAS_LEAVES);
        m_model->m_aliases.append(alias);
    }
}

void readXMLfile::traverseNodeUnion() {
    for (const QDomNode& node : qAsConst(m_unions)) {
        Union unionRecord;
        forEachChildElement(node, [&](const QDomElement& child) {
            const QString tag = child.tagName();
            if (tag == QLatin1String("mapUnion")) {
                QString label;
                QMemberAgregate member;
                traverseNodeMapUnion(child, &label, &member);
                unionRecord.m_cases.append(UnionCase(label, member));
            } else if (tag == QLatin1String("verbatim")) {
                traverseNodeVerbatim(child, unionRecord.m_verbatims);
            } else {
                readLeaf(child, unionRecord, UNION_LEAVES);
            }
        });
        m_model->m_unions.append(unionRecord);
    }
}

void readXMLfile::traverseNodeMapUnion(const QDomElement& element, QString* label,
                                       QMemberAgregate* member) {
    forEachChildElement(element, [&](const QDomElement& child) {
        const QString tag = child.tagName();
        if (tag == QLatin1String("valueDiscriminant")) {
            *label += leafText(child);
        } else if (tag == QLatin1String("memberAgregate")) {
            traverseSingleMemberAgregate(child, member);
        }
    });
}

void readXMLfile::traverseNodeVerbatim(const QDomElement& element, QVector<Werbatim>& to) {
    Werbatim verbatim;
    readLeaves(element, verbatim, VERBATIM_LEAVES);
    to.append(verbatim);
}

void readXMLfile::traverseNodeStructure() {
    for (const QDomNode& node : qAsConst(m_structures)) {
        StructureQ structure;
        forEachChildElement(node, [&](const QDomElement& child) {
            const QString tag = child.tagName();
            if (tag == QLatin1String("memberAgregate")) {
                QMemberAgregate member;
                traverseSingleMemberAgregate(child, &member);
                structure.m_members.append(member);
            } else if (tag == QLatin1String("verbatim")) {
                traverseNodeVerbatim(child, structure.m_verbatims);
            } else {
                readLeaf(child, structure, STRUCTURE_LEAVES);
            }
        });
        m_model->m_structures.append(structure);
    }
}

void readXMLfile::traverseSingleMemberAgregate(const QDomElement& element,
                                               QMemberAgregate* member) {
    readLeaves(element, *member, MEMBER_LEAVES);
}

void readXMLfile::traverseNodeTopicData(const QDomElement& element) {
    TopicType topic;
    forEachChildElement(element, [&](const QDomElement& child) {
        if (child.tagName() == QLatin1String("keys")) {
            QString keys;
            traverseSingleKey(child, &keys);
            topic.m_keys = keys;
        } else {
            readLeaf(child, topic, TOPIC_LEAVES);
        }
    });
    m_model->m_topicTypes.append(topic);
}

void readXMLfile::traverseSingleKey(const QDomElement& element, QString* keys) {
    forEachChildElement(element, [keys](const QDomElement& child) {
        if (child.tagName() != QLatin1String("key")) {
            return;
        }
        if (keys->isEmpty()) {
            *keys = leafText(child);
        } else {
            *keys += QStringLiteral(", ") + leafText(child);
        }
    });
}

#if defined(__SANITIZE_ADDRESS__)
#define TESSGEN_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSGEN_LEAK_CHECKED 1
#endif
#endif

#ifdef TESSGEN_LEAK_CHECKED
// Qt's schema engine keeps reference cycles among its own objects and never frees them, and the
// C library's locale loader keeps a search path list when LOCPATH is set; the leak checker is to
// report our leaks, not those. Every program that reads models links this.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt5XmlPatterns.so\nleak:libQt5Core.so\nleak:__argz_add_sep\n";
}
#endif
