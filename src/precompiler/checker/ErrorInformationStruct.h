#ifndef TESSGEN_CHECKER_ERRORINFORMATIONSTRUCT_H
#define TESSGEN_CHECKER_ERRORINFORMATIONSTRUCT_H

#include <QString>

// One finding of the model checker: which type, of which group, and the filled message.
struct ErrorInformationStruct {
    QString typeName;   // the namespace text for a namespace finding
    int typeKind = 0;   // group number: 14..22, 26 primitives, 27 topics; 0 for the namespace
    int groupCode = 0;  // GetIntTypeWidget's code; a topic finding keeps the topic's position
    QString message;
    // Duplicate names only: the group and the position in it of the name clashed with.
    int otherKind = 0;
    int otherIndex = 0;
};

#endif
