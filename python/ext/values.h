// Values between Python and Variants, written against the CPython API: a huge array is the usual
// payload, and a caster per element would cost more than the method that reads the file.
#pragma once

#include <Python.h>

#include "talvex/variant.h"

namespace tlx::python {

// Arrays within arrays that a value passed in may hold, as the command-line host allows.
constexpr int kMaxDepth = 1000;

// Finds the classes of talvex._values that values are made of; once, when the module loads.
void loadValueTypes();

// A Python value as a Variant. Raises TypeError for what has no Variant form, ValueError for
// lists nested deeper than kMaxDepth, OverflowError for numbers and dates out of range
// (as pybind11::error_already_set).
Variant toVariant(PyObject* value);

// A Variant as a new Python object. Arrays are taken apart as they are converted (their strings
// and storage given back as they go), so a huge array is never held twice at full size.
PyObject* toPython(Variant&& value);

bool isRef(PyObject* value);   // a talvex.Ref
PyObject* comErrorType();      // talvex.ComError

// The Variant that a proxy object holds, or nullptr when `value` is no proxy.
const ObjRef* proxiedObject(PyObject* value);
// A new proxy of `obj`, which is not empty.
PyObject* proxyOf(const ObjRef& obj);

}  // namespace tlx::python
