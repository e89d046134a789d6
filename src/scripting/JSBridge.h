// The bridge between JavaScript values and Variants, and the JavaScript classes through which
// scripts see native dispatch objects. Everything here runs on the engine's thread; calls into
// a native object that belongs to another thread are handed over to that thread (see
// IDispatch::OwnerThread), and fail with an exception when that thread has ended.
//
// Values, native to script: empty and missing arguments are undefined, null is null, numbers,
// currency, Booleans and strings are JavaScript numbers, Booleans and strings, except 64-bit
// integers beyond 2^53 in size, which a number cannot hold exactly: they are BigInts. Dates are
// Date objects (a date is local time), byte arrays are Uint8Array copies, other arrays are
// arrays, dispatch objects are native objects, one script object per native object (or the
// script object itself, for a JSDispatch of the same engine). Script to native: the reverse,
// with integral numbers in 32-bit range as VT_I4, other numbers as VT_R8, BigInts as VT_I8 (as
// their text when beyond 64 bits), arrays as copies, and every other object or function as a
// JSDispatch. An array that contains itself, nests more than 32 deep, or would take the
// conversion of one call past 2^20 copied elements travels as a JSDispatch too.
//
// A native object as scripts see it:
//  - obj.Name reads a property (PROPERTYGET); when the member is a method or needs arguments,
//    the read gives a callable member reference instead;
//  - obj.Name(a, b) calls the member (METHOD or PROPERTYGET with arguments), so an indexed
//    property is read as obj.Item("key");
//  - obj.Name = v writes a property (PROPERTYPUT); a name the object does not know is asked
//    for with fdexNameEnsure, so objects with dynamic members create it;
//  - obj.Name[index] = v writes an indexed property (PROPERTYPUT with the index, then v);
//  - obj(a) calls the object's default member; String(obj) and arithmetic read its default
//    value.
#pragma once

#include "scripting/JSLibrary.h"

#include "scripting/Dispatch.h"

namespace pw::js {

class Engine;

// The class of every engine's global object: names the script has not defined itself are
// looked up in the members of the engine's global-members items, in the order they were added.
JSClassRef GlobalClass();

JSValueRef ToJS(Engine& engine, const Variant& value);
Variant FromJS(Engine& engine, JSValueRef value);

// The script face of a native object (never null for a non-null object).
JSObjectRef WrapNative(Engine& engine, IDispatch* object);

// The native object behind a script value made by WrapNative; null for anything else.
IDispatch* UnwrapNative(JSContextRef ctx, JSValueRef value);

// Live native-object faces and member references (leak checks).
std::int64_t LiveNativeWrappers();

// Drops what the bridge keeps about engine on this thread; the engine's thread, as it ends.
void ForgetEngine(Engine& engine);

}  // namespace pw::js
