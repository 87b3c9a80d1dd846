// The broad model's structures and unions for the reference writer: members in model order,
// a union's discriminator and then the member its value selects (the default member for a
// value no case names).
#ifndef TESTS_GENERATED_BROADMODELWRITERS_H
#define TESTS_GENERATED_BROADMODELWRITERS_H

#include "Broad.model.h"
#include "ReferenceWriter.h"

using reference::ReferenceWriter;

#define PUT(member) w.put(x.m_##member)

namespace Shapes {

inline void writeModel(ReferenceWriter& w, const Point& x) {
    PUT(x);
    PUT(y);
}

inline void writeModel(ReferenceWriter& w, const Choice& x) {
    w.put(x.m_d);
    if (x.m_d == 1) {
        w.put(x.m_Choice.m_point);
    } else {
        w.put(x.m_Choice.m_count);
    }
}

inline void writeModel(ReferenceWriter& w, const Repeat& x) {
    w.put(x.m_d);
    if (x.m_d == 1 || x.m_d == 2 || x.m_d == 4) {
        w.put(x.m_Repeat.m_rr);
    } else {
        w.put(x.m_Repeat.m_other);
    }
}

inline void writeModel(ReferenceWriter& w, const Quotes& x) {
    w.put(x.m_d);
    if (x.m_d == '\'') {
        w.put(x.m_Quotes.m_quote);
    } else if (x.m_d == '~') {
        w.put(x.m_Quotes.m_tilde);
    } else {
        w.put(x.m_Quotes.m_backslash);
    }
}

inline void writeModel(ReferenceWriter& w, const WideQuotes& x) {
    w.put(x.m_d);
    if (x.m_d == L'\'') {
        w.put(x.m_WideQuotes.m_quote);
    } else if (x.m_d == L'\\') {
        w.put(x.m_WideQuotes.m_backslash);
    } else {
        w.put(x.m_WideQuotes.m_ya);
    }
}

}  // namespace Shapes

namespace Classes {

inline void writeModel(ReferenceWriter& w, const Pair& x) {
    PUT(x);
    PUT(y);
}

inline void writeModel(ReferenceWriter& w, const Single& x) {
    PUT(only);
}

inline void writeModel(ReferenceWriter& w, const Inner& x) {
    PUT(grid);
    PUT(truth);
    PUT(phases);
    PUT(octets);
    PUT(rows);
    PUT(marks);
    PUT(counts);
    PUT(phase);
}

inline void writeModel(ReferenceWriter& w, const ByBool& x) {
    w.put(x.m_d);
    if (x.m_d) {
        w.put(x.m_ByBool.m_yes);
    } else {
        w.put(x.m_ByBool.m_no);
    }
}

inline void writeModel(ReferenceWriter& w, const ByByte& x) {
    w.put(x.m_d);
    if (x.m_d == 0) {
        w.put(x.m_ByByte.m_low);
    } else if (x.m_d == 7) {
        w.put(x.m_ByByte.m_grid);
    } else {
        w.put(x.m_ByByte.m_high);
    }
}

inline void writeModel(ReferenceWriter& w, const ByI16& x) {
    w.put(x.m_d);
    if (x.m_d == -32768) {
        w.put(x.m_ByI16.m_lo);
    } else {
        w.put(x.m_ByI16.m_hi);
    }
}

inline void writeModel(ReferenceWriter& w, const ByU16& x) {
    w.put(x.m_d);
    if (x.m_d == 65535) {
        w.put(x.m_ByU16.m_hi);
    } else {
        w.put(x.m_ByU16.m_lo);
    }
}

inline void writeModel(ReferenceWriter& w, const ByI32& x) {
    w.put(x.m_d);
    if (x.m_d == INT32_MIN) {
        w.put(x.m_ByI32.m_lo);
    } else if (x.m_d == 8) {
        w.put(x.m_ByI32.m_eight);
    } else {
        w.put(x.m_ByI32.m_hi);
    }
}

inline void writeModel(ReferenceWriter& w, const ByU32& x) {
    w.put(x.m_d);
    if (x.m_d == 1) {
        w.put(x.m_ByU32.m_one);
    } else {
        w.put(x.m_ByU32.m_top);
    }
}

inline void writeModel(ReferenceWriter& w, const ByI64& x) {
    w.put(x.m_d);
    if (x.m_d == INT64_MIN) {
        w.put(x.m_ByI64.m_lo);
    } else {
        w.put(x.m_ByI64.m_hi);
    }
}

inline void writeModel(ReferenceWriter& w, const ByU64& x) {
    w.put(x.m_d);
    if (x.m_d == UINT64_MAX) {
        w.put(x.m_ByU64.m_top);
    } else {
        w.put(x.m_ByU64.m_zero);
    }
}

inline void writeModel(ReferenceWriter& w, const ByChar& x) {
    w.put(x.m_d);
    if (x.m_d == 'a') {
        w.put(x.m_ByChar.m_aa);
    } else if (x.m_d == '7') {
        w.put(x.m_ByChar.m_seven);
    } else {
        w.put(x.m_ByChar.m_zz);
    }
}

inline void writeModel(ReferenceWriter& w, const ByWide& x) {
    w.put(x.m_d);
    if (x.m_d == L'b') {
        w.put(x.m_ByWide.m_bb);
    } else {
        w.put(x.m_ByWide.m_aa);
    }
}

inline void writeModel(ReferenceWriter& w, const ByPhase& x) {
    w.put(x.m_d);
    if (x.m_d == Phase::START) {
        w.put(x.m_ByPhase.m_started);
    } else {
        w.put(x.m_ByPhase.m_stopped);
    }
}

inline void writeModel(ReferenceWriter& w, const ByLevel& x) {
    w.put(x.m_d);
    if (x.m_d == Shapes::E16::MAX) {
        w.put(x.m_ByLevel.m_most);
    } else {
        w.put(x.m_ByLevel.m_least);
    }
}

inline void writeModel(ReferenceWriter& w, const ByAlias& x) {
    w.put(x.m_d);
    if (x.m_d == Phase::PAUSE) {
        w.put(x.m_ByAlias.m_paused);
    } else {
        w.put(x.m_ByAlias.m_started);
    }
}

inline void writeModel(ReferenceWriter& w, const OnlyOne& x) {
    w.put(x.m_d);
    w.put(x.m_OnlyOne.m_solo);
}

inline void writeModel(ReferenceWriter& w, const DefaultFirst& x) {
    w.put(x.m_d);
    if (x.m_d == 2) {
        w.put(x.m_DefaultFirst.m_second);
    } else {
        w.put(x.m_DefaultFirst.m_first);
    }
}

inline void writeModel(ReferenceWriter& w, const Every& x) {
    PUT(flag);
    PUT(octet);
    PUT(i16);
    PUT(u16);
    PUT(i32);
    PUT(u32);
    PUT(i64);
    PUT(u64);
    PUT(f32);
    PUT(f64);
    PUT(f128);
    PUT(c8);
    PUT(c32);
    PUT(phase);
    PUT(phaseAlias);
    PUT(levelAA);
    PUT(count);
    PUT(grid);
    PUT(truth);
    PUT(name);
    PUT(text);
    PUT(wide);
    PUT(phrases);
    PUT(table);
    PUT(marks);
    PUT(pair);
    PUT(inner);
    PUT(point);
    PUT(level);
    PUT(choice);
    PUT(pick);
    PUT(pointAlias);
    PUT(gridAlias);
    PUT(foreign);
    PUT(names);
    PUT(foreignText);
    PUT(counts);
    PUT(Shapes);
}

inline void writeModel(ReferenceWriter& w, const AllUnions& x) {
    PUT(byBool);
    PUT(byByte);
    PUT(byI16);
    PUT(byU16);
    PUT(byI32);
    PUT(byU32);
    PUT(byI64);
    PUT(byU64);
    PUT(byChar);
    PUT(byWide);
    PUT(byPhase);
    PUT(byLevel);
    PUT(byAlias);
    PUT(onlyOne);
    PUT(defaultFirst);
    PUT(repeat);
    PUT(quotes);
    PUT(wideQuotes);
}

}  // namespace Classes

namespace ModelTOPICS {

inline void writeModel(ReferenceWriter& w, const Sample& x) {
    PUT(id);
    PUT(mode);
    PUT(points);
}

inline void writeModel(ReferenceWriter& w, const KeyedFixed& x) {
    PUT(id);
    PUT(pair);
    PUT(single);
    PUT(inner);
    PUT(marks);
    PUT(grid);
    PUT(truth);
    PUT(point);
    PUT(rows);
    PUT(phase);
    PUT(cube);
}

inline void writeModel(ReferenceWriter& w, const KeyedVariable& x) {
    PUT(id);
    PUT(every);
    PUT(unions);
    PUT(byBool);
    PUT(byByte);
    PUT(byI16);
    PUT(byU16);
    PUT(byI32);
    PUT(byU32);
    PUT(byI64);
    PUT(byU64);
    PUT(byChar);
    PUT(byWide);
    PUT(byPhase);
    PUT(byLevel);
    PUT(byAlias);
    PUT(onlyOne);
    PUT(defaultFirst);
    PUT(repeat);
    PUT(quotes);
    PUT(wideQuotes);
    PUT(choice);
}

inline void writeModel(ReferenceWriter& w, const Header& x) {
    PUT(id);
    PUT(seq);
}

inline void writeModel(ReferenceWriter& w, const KeyDirect& x) {
    PUT(a);
    PUT(b);
    PUT(v);
}

inline void writeModel(ReferenceWriter& w, const Key16& x) {
    PUT(x);
    PUT(y);
    PUT(z);
    PUT(note);
}

inline void writeModel(ReferenceWriter& w, const Key17& x) {
    PUT(x);
    PUT(y);
    PUT(c);
    PUT(f);
}

inline void writeModel(ReferenceWriter& w, const KeyWide& x) {
    PUT(id);
    PUT(w);
    PUT(w2);
    PUT(v);
}

inline void writeModel(ReferenceWriter& w, const KeyStringFirst& x) {
    PUT(name);
    PUT(id);
    PUT(v);
}

inline void writeModel(ReferenceWriter& w, const KeyForeign& x) {
    PUT(pad);
    PUT(name);
}

inline void writeModel(ReferenceWriter& w, const KeyBool& x) {
    PUT(flag);
    PUT(rest);
}

inline void writeModel(ReferenceWriter& w, const KeyHuge& x) {
    PUT(h);
    PUT(rest);
}

inline void writeModel(ReferenceWriter& w, const KeyOdd& x) {
    PUT(flag);
    PUT(huge);
    PUT(pad);
}

inline void writeModel(ReferenceWriter& w, const KeyEnum& x) {
    PUT(color);
    PUT(alias);
    PUT(text);
}

inline void writeModel(ReferenceWriter& w, const KeyArray& x) {
    PUT(grid);
    PUT(name);
}

inline void writeModel(ReferenceWriter& w, const KeyPath& x) {
    PUT(hdr);
    PUT(body);
}

inline void writeModel(ReferenceWriter& w, const KeyBehind& x) {
    PUT(name);
    PUT(longs);
    PUT(hdr);
    PUT(code);
    PUT(label);
}

inline void writeModel(ReferenceWriter& w, const KeyWorked& x) {
    PUT(id);
    PUT(name);
    PUT(code);
    PUT(extra);
}

inline void writeModel(ReferenceWriter& w, const Lengths& x) {
    PUT(i);
    PUT(d);
    PUT(s);
    PUT(shorts);
    PUT(longs);
    PUT(huges);
    PUT(pairs);
    PUT(byText);
    PUT(choice);
    PUT(grid);
    PUT(intsRow);
}

inline void writeModel(ReferenceWriter& w, const Plain& x) {
    PUT(v);
}

inline void writeModel(ReferenceWriter& w, const KeylessFixed& x) {
    PUT(pair);
    PUT(single);
    PUT(inner);
    PUT(marks);
    PUT(grid);
    PUT(truth);
    PUT(point);
    PUT(rows);
    PUT(phase);
    PUT(cube);
}

inline void writeModel(ReferenceWriter& w, const KeylessVariable& x) {
    PUT(every);
    PUT(unions);
    PUT(byBool);
    PUT(byByte);
    PUT(byI16);
    PUT(byU16);
    PUT(byI32);
    PUT(byU32);
    PUT(byI64);
    PUT(byU64);
    PUT(byChar);
    PUT(byWide);
    PUT(byPhase);
    PUT(byLevel);
    PUT(byAlias);
    PUT(onlyOne);
    PUT(defaultFirst);
    PUT(repeat);
    PUT(quotes);
    PUT(wideQuotes);
    PUT(choice);
}

inline void writeModel(ReferenceWriter& w, const Sequences& x) {
    PUT(shorts);
    PUT(longs);
    PUT(octs);
    PUT(huges);
    PUT(flags);
    PUT(wides);
    PUT(floats);
    PUT(nested);
    PUT(levels);
    PUT(byText);
    PUT(texts);
    PUT(textRow);
    PUT(bitGrid);
    PUT(choice);
}

inline void writeModel(ReferenceWriter& w, const Containers& x) {
    PUT(ints);
    PUT(shorts);
    PUT(longs);
    PUT(octs);
    PUT(huges);
    PUT(flags);
    PUT(wides);
    PUT(floats);
    PUT(points);
    PUT(foreignPoints);
    PUT(nested);
    PUT(strings);
    PUT(texts);
    PUT(wideTexts);
    PUT(foreignNames);
    PUT(foreignLevels);
    PUT(levels);
    PUT(counts);
    PUT(textRow);
    PUT(wideGrid);
    PUT(wideRow);
    PUT(byText);
    PUT(byLevel);
    PUT(wideByMode);
    PUT(intToText);
    PUT(textToWide);
    PUT(levelToPoint);
    PUT(nameToBits);
    PUT(modeByInt);
    PUT(levelByInt);
    PUT(pointByChar);
    PUT(bitGrid);
    PUT(foreignGrid);
    PUT(intsAA);
    PUT(textAA);
    PUT(nameAA);
    PUT(tableAlias);
    PUT(choiceAA);
    PUT(foreignPoint);
    PUT(foreignLevel);
    PUT(modeAlias);
    PUT(title);
    PUT(local);
    PUT(sequences);
    PUT(booleans);
}

}  // namespace ModelTOPICS

#undef PUT

#endif
