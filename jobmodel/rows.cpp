#include "jobmodel/rows.h"

namespace jobmodel {

Row NextRowInOrder(const JobRows& rows, Row row) {
    if (!row) return rows.FirstChild(nullptr);
    if (Row child = rows.FirstChild(row)) return child;
    for (; row; row = rows.Parent(row))
        if (Row next = rows.NextSibling(row)) return next;
    return nullptr;
}

}  // namespace jobmodel
