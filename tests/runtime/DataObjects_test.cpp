// The data objects through real scripts: the dictionary (duplicates, absent keys, the
// dynamic-member provider with a parent), the string list (sorting, text, files in a charset)
// and the byte buffer (little-endian values, growth, Uint8Array round trips, files), and the
// errors each gives for bad input.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <string>

#include "RuntimeFixture.h"
#include "platform/FileIO.h"
#include "platform/XmlDocument.h"
#include "support/QStringPrinter.h"
#include "scripting/objects/ByteArrayObject.h"
#include "scripting/objects/DictionaryObject.h"

namespace pw::tests {
namespace {

using DataObjectsTest = RuntimeFixture;

TEST_F(DataObjectsTest, DictionaryKeepsDuplicatesAndServesDynamicMembers) {
  Run(QStringLiteral(
      "var d = CreateObject('Dictionary');"
      "d.Add('a', 1); d.Add('A', 2);"
      "var absent = d.Item('zz'); var lengthAfterRead = d.Length;"
      "d.Item['zz'] = 'set'; d.Add(5, 'five');"
      "d.color = 3;"
      "d.sum = function (x, y) { return x + y; };"
      "var s = CreateObject('Dictionary'); s.Add('b', 1); s.Add('C', 2); s.Add('a', 3); s.Sort();"));
  for (const TCase& c : {
           TCase{"d.Length", "6"},
           TCase{"d.Item('a') + ':' + d.IndexOf('A') + ':' + d.Keys(1) + ':' + d.Items(1)", "1:0:A:2"},
           TCase{"typeof absent + ':' + lengthAfterRead", "undefined:2"},
           TCase{"d.Item('ZZ') + ':' + d.Item('5') + ':' + d.Exists('5')", "set:five:true"},
           // The provider: assignment creates the entry, a read finds it.
           TCase{"d.color + ':' + d.Item('Color') + ':' + d.IndexOf('color')", "3:3:4"},
           // A function stored in an entry is called as a method, with arguments.
           TCase{"d.sum(2, 3)", "5"},
           TCase{"s.Keys(0) + s.Keys(1) + s.Keys(2) + s.Value(2)", "abC2"},
       }) {
    EXPECT_EQ(Text(QString::fromUtf8(c.Expression)), QString::fromUtf8(c.Expected)) << c.Expression;
  }
  Run(QStringLiteral("d.Remove('A'); d.RemoveAt(0); d.Value[0] = 1;"));
  EXPECT_EQ(Text(QStringLiteral("d.Length + ':' + d.Keys(0) + ':' + d.Item('a')")), QStringLiteral("4:zz:undefined"));
  Run(QStringLiteral("d.RemoveAll();"));
  EXPECT_EQ(Text(QStringLiteral("d.Length")), QStringLiteral("0"));
}

TEST_F(DataObjectsTest, ADictionaryFallsBackToItsParent) {
  ComPtr<TDictionaryObject> parent = MakeAutoObject<TDictionaryObject>();
  ComPtr<TDictionaryObject> child = MakeAutoObject<TDictionaryObject>();
  parent->Set(QStringLiteral("title"), Variant(QStringLiteral("from parent")));
  parent->Set(QStringLiteral("shout"), Variant(QStringLiteral("unused")));
  child->SetParent(parent.Get());
  runtime.AddItem(QStringLiteral("child"), child->AsDispatch(), false);
  runtime.AddItem(QStringLiteral("parent"), parent->AsDispatch(), false);
  EXPECT_EQ(Text(QStringLiteral("child.title")), QStringLiteral("from parent"));
  // Assignments create the name in the child; the parent keeps its own value.
  Run(QStringLiteral("child.title = 'own'; parent.extra = 'late';"));
  EXPECT_EQ(Text(QStringLiteral("child.title + '|' + parent.title + '|' + child.Length + '|' + child.extra")),
            QStringLiteral("own|from parent|1|late"));
  // Names read through the parent are only read: the child's own entries stay as they were.
  EXPECT_EQ(child->Length(), 1);
  child->SetParent(nullptr);
  EXPECT_EQ(Text(QStringLiteral("typeof child.extra")), QStringLiteral("undefined"));
}

// Callers may keep a dynamic identifier (the bridge remembers the names it resolved): it keeps
// standing for its name after removals, and writing through the identifier a read of the
// parent gave still creates the name in the child.
TEST_F(DataObjectsTest, DynamicIdentifiersStandForTheirNames) {
  ComPtr<TDictionaryObject> parent = MakeAutoObject<TDictionaryObject>();
  ComPtr<TDictionaryObject> child = MakeAutoObject<TDictionaryObject>();
  ComPtr<TDictionaryObject> d = MakeAutoObject<TDictionaryObject>();
  parent->Set(QStringLiteral("title"), Variant(QStringLiteral("from parent")));
  child->SetParent(parent.Get());
  d->Set(QStringLiteral("a"), Variant(1));
  d->Set(QStringLiteral("b"), Variant(2));
  runtime.AddItem(QStringLiteral("child"), child->AsDispatch(), false);
  runtime.AddItem(QStringLiteral("parent"), parent->AsDispatch(), false);
  runtime.AddItem(QStringLiteral("d"), d->AsDispatch(), false);
  EXPECT_EQ(Text(QStringLiteral("child.title + (child.title = 'own', '|') + child.title + '|' + parent.Item('title')")),
            QStringLiteral("from parent|own|from parent"));
  EXPECT_EQ(child->Length(), 1);
  EXPECT_EQ(Text(QStringLiteral("d.b")), QStringLiteral("2"));
  d->Remove(Variant(QStringLiteral("a")));
  EXPECT_EQ(Text(QStringLiteral("d.b")), QStringLiteral("2"));
  d->RemoveAll();
  EXPECT_EQ(Text(QStringLiteral("typeof d.b")), QStringLiteral("undefined"));
}

// The settings file's form: kinds kept, markup in values escaped; an item without a kind reads
// as text, one of an unknown kind is skipped.
TEST_F(DataObjectsTest, DictionaryRoundTripsThroughTheSettingsXml) {
  ComPtr<TDictionaryObject> d = MakeAutoObject<TDictionaryObject>();
  d->Add(Variant(QStringLiteral("text")), Variant(QStringLiteral("a <b> & c")));
  d->Add(Variant(QStringLiteral("count")), Variant(std::int32_t{-7}));
  d->Add(Variant(QStringLiteral("flag")), Variant(true));
  d->Add(Variant(QStringLiteral("raw")), Variant::FromBytes(QByteArray("\x01\xAB", 2)));
  d->Add(Variant(QStringLiteral("none")), Variant(2.5));
  platform::TXmlDocPtr doc(xmlNewDoc(BAD_CAST "1.0"));
  xmlNode* root = xmlNewNode(nullptr, BAD_CAST "settings");
  xmlDocSetRootElement(doc.get(), root);
  d->SaveToXML(root);
  xmlChar* dumped = nullptr;
  int size = 0;
  xmlDocDumpMemory(doc.get(), &dumped, &size);
  const std::string xml(reinterpret_cast<const char*>(dumped), static_cast<size_t>(size));
  xmlFree(dumped);
  EXPECT_NE(xml.find(R"(<item name="text" type="String">a &lt;b&gt; &amp; c</item>)"), std::string::npos) << xml;
  EXPECT_NE(xml.find(R"(<item name="flag" type="Integer">True</item>)"), std::string::npos) << xml;
  EXPECT_NE(xml.find(R"(<item name="raw" type="Binary">01AB</item>)"), std::string::npos) << xml;
  EXPECT_NE(xml.find(R"(<item name="none"/>)"), std::string::npos) << xml;

  xmlNode* extra = xmlNewChild(root, nullptr, BAD_CAST "item", BAD_CAST "plain");
  xmlSetProp(extra, BAD_CAST "name", BAD_CAST "untyped");
  xmlNode* skipped = xmlNewChild(root, nullptr, BAD_CAST "item", BAD_CAST "1.5");
  xmlSetProp(skipped, BAD_CAST "name", BAD_CAST "real");
  xmlSetProp(skipped, BAD_CAST "type", BAD_CAST "Float");
  ComPtr<TDictionaryObject> loaded = MakeAutoObject<TDictionaryObject>();
  loaded->Add(Variant(QStringLiteral("old")), Variant(1));
  loaded->LoadFromXML(root);
  ASSERT_EQ(loaded->Length(), 6);  // "old" is gone, "real" of an unknown kind skipped
  EXPECT_EQ(loaded->Get(QStringLiteral("text")).StringValue(), QStringLiteral("a <b> & c"));
  EXPECT_EQ(loaded->Get(QStringLiteral("count")).IntValue(), -7);
  EXPECT_EQ(loaded->Get(QStringLiteral("flag")).IntValue(), 0);
  EXPECT_EQ(loaded->Get(QStringLiteral("raw")).Bytes(), QByteArray("\x01\xAB", 2));
  EXPECT_EQ(loaded->Get(QStringLiteral("untyped")).StringValue(), QStringLiteral("plain"));
  EXPECT_EQ(loaded->Get(QStringLiteral("none")).StringValue(), QString());
  EXPECT_EQ(TDictionaryObject::GetTypeName(), QStringLiteral("Dictionary"));
}

TEST_F(DataObjectsTest, StringListSortsLoadsAndSaves) {
  Run(QStringLiteral(
      "function list() { var l = CreateObject('StringList'); for (var i = 0; i < arguments.length; ++i) l.Add(arguments[i]); return l; }"
      "function sorted(unique) { var l = list.apply(null, Array.prototype.slice.call(arguments, 1)); l.Sort(unique); return l.Text.replace(/\\r\\n/g, ','); }"));
  for (const TCase& c : {
           TCase{"sorted(true, 'b', 'a', 'a')", "a,b,"},
           TCase{"sorted(true, 'a', 'A')", "A,a,"},
           // Duplicates apart from a line differing in case still go.
           TCase{"sorted(true, 'a', 'A', 'a', 'B', 'b', 'a')", "A,a,B,b,"},
           TCase{"sorted(false, 'b', 'a', 'a')", "a,a,b,"},
           TCase{"(function () { var l = list(); l.Text = 'x\\r\\ny\\nz\\r\\r'; return l.Length + ':' + l.Line(1) + ':' + l(3).length; })()", "4:y:0"},
           TCase{"(function () { var l = list('p', 'q'); l.Line[1] = 'Q'; return l.RemoveAt(0) + l.Line(0); })()", "1Q"},
       }) {
    EXPECT_EQ(Text(QString::fromUtf8(c.Expression)), QString::fromUtf8(c.Expected)) << c.Expression;
  }

  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("sub/lines.txt"));
  Run(QStringLiteral("var saved = list('\u0436\u0443\u043a', 'b').Save('%1', 'windows-1251');").arg(file));
  std::string bytes;
  ASSERT_TRUE(platform::ReadWholeFile(file, bytes));
  EXPECT_EQ(bytes, "\xE6\xF3\xEA\r\nb\r\n");
  EXPECT_EQ(Text(QStringLiteral("(function () { var back = list('old'); return back.Load('%1', 'WINDOWS-1251') + ':' + back.Text; })()").arg(file)),
            QStringLiteral("true:\u0436\u0443\u043a\r\nb\r\n"));
  EXPECT_EQ(Text(QStringLiteral("(function () { var keep = list('old'); return keep.Load('%1', 'utf-8') + ':' + keep.Text; })()")
                     .arg(dir.filePath(QStringLiteral("missing.txt")))),
            QStringLiteral("false:old\r\n"));
  EXPECT_EQ(Text(QStringLiteral("list('x').Save('%1', 'utf-8')").arg(dir.path())), QStringLiteral("false"));
}

TEST_F(DataObjectsTest, BytesAreLittleEndianGrowAndRoundTripThroughUint8Array) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("a/b.bin"));
  Run(QStringLiteral("function hex(b) { return BinToHex(b.GetData()); }"
                     "function bytes() { return CreateObject('Bytes'); }"));
  // The two-index write has no script syntax here; the host calls it.
  ComPtr<TByteArrayObject> native = MakeAutoObject<TByteArrayObject>();
  native->Push(Variant::FromBytes(QByteArray("\x01\x02\x03", 3)));
  native->SetBytes(1, 5, Variant::FromBytes(QByteArray("\xAA\xBB\xCC", 3)));
  native->SetBytes(-1, 1, Variant::FromBytes(QByteArray("\xDD\xEE", 2)));
  EXPECT_EQ(native->Data().toHex(), QByteArray("01aabbccdd"));
  for (const TCase& c : {
           TCase{"hex(bytes().PushLong(1))", "01000000"},
           TCase{"hex(bytes().PushLong(-2).PushLong(4294967295))", "FEFFFFFFFFFFFFFF"},
           // Word at -1 appends: the buffer grows by two bytes.
           TCase{"(function () { var b = bytes().PushByte(257); b.Word[-1] = 4660; return b.Length + ':' + hex(b); })()", "3:013412"},
           TCase{"(function () { var b = bytes(); b.Long[2] = -1; return hex(b) + ':' + b.Long(2) + ':' + b.Word(3) + ':' + b.Byte(0); })()", "0000FFFFFFFF:-1:65535:0"},
           TCase{"(function () { var b = bytes().Push(HexToBin('0102030405')); return BinToHex(b.Bytes(1, 2)) + ':' + BinToHex(b(3, 0)); })()", "0203:0405"},
           TCase{"(function () { var b = bytes().Push([1]); b.Length = 3; return hex(b) + ':' + (b.Length = 1, hex(b)); })()", "010000:01"},
           TCase{"(function () { var d = bytes().SetData(new Uint8Array([1, 2, 255])).GetData(); return (d instanceof Uint8Array) + ':' + d.length + ':' + d[2]; })()", "true:3:255"},
           TCase{"hex(bytes().SetData(new Uint8Array([9]).buffer)) + hex(bytes().SetData('text'))", "09"},
           TCase{"hex(bytes().Push([7]).Load('/no/such/file'))", "07"},
       }) {
    EXPECT_EQ(Text(QString::fromUtf8(c.Expression)), QString::fromUtf8(c.Expected)) << c.Expression;
  }
  EXPECT_EQ(Text(QStringLiteral("hex(bytes().Push([7, 8]).Save('%1').Clear().Load('%1'))").arg(file)),
            QStringLiteral("0708"));
}

TEST_F(DataObjectsTest, BadInputGivesAClearScriptError) {
  Run(QStringLiteral("var d = CreateObject('Dictionary'); d.Add('k', 1);"
                     "var l = CreateObject('StringList'); var b = CreateObject('Bytes').PushByte(1);"));
  for (const TCase& c : {
           TCase{"d.Item({})", "A dictionary key must be text, not VT_DISPATCH"},
           TCase{"d.Add(null, 1)", "A dictionary key must be text, not VT_NULL"},
           TCase{"d.IndexOf(undefined)", "A dictionary key must be text, not VT_EMPTY"},
           TCase{"d.Items(1)", "Index 1 is out of range 0..0"},
           TCase{"d.Keys(-1)", "Index -1 is out of range 0..0"},
           TCase{"d.Add('x')", "Wrong number of arguments for 'Add'"},
           TCase{"l.Line(0)", "Line 0 is out of range: the list is empty"},
           TCase{"l.RemoveAt(3)", "Line 3 is out of range: the list is empty"},
           TCase{"b.Word(0)", "Reading 2 byte(s) at 0 passes the end of the buffer (1 bytes)"},
           TCase{"b.Bytes(0, 5)", "Reading 5 byte(s) at 0 passes the end of the buffer (1 bytes)"},
           TCase{"b.Length = -1", "A length cannot be negative (-1)"},
           TCase{"b.Byte[2000000000] = 1", "A byte buffer cannot grow to 2000000001 bytes (at most 1073741824)"},
           TCase{"b.Push(['x'])", "A byte array holds numbers only, not VT_BSTR \"x\""},
       }) {
    EXPECT_EQ(ErrorOf(QString::fromUtf8(c.Expression)), QString::fromUtf8(c.Expected)) << c.Expression;
  }
}

}  // namespace
}  // namespace pw::tests
