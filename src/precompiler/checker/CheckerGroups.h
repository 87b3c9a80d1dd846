#ifndef TESSGEN_CHECKER_CHECKERGROUPS_H
#define TESSGEN_CHECKER_CHECKERGROUPS_H

// Group numbers of the checker's findings beyond the record kinds 14..22 of the editor records.
enum CheckerGroup : int {
    GROUP_PRIMITIVES = 26,
    GROUP_TOPICS = 27,
};

#endif
