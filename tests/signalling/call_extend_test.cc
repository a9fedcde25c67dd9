// The quick reader of a call extend against the document reader it stands
// in for: over odd shapes, wherever the quick reader answers, it reads what
// the document reader reads.
#include <gtest/gtest.h>

#include <string>

#include "signalling/cmd_body.h"

namespace imsdkmrtc {
namespace {

std::string extendReading(const extendMembers& m) {
  std::string out;
  for (int k = 0; k < kExtendTextKeys; ++k) {
    if (m.found[k]) out += std::string(extendKeyName(extendKey(k))) + "=" + m.texts[k] + " ";
  }
  auto list = [&out](const char* name, const extendList& l) {
    out += name;
    out += "=[";
    for (const std::string& t : l.texts) out += t + ",";
    out += l.refused ? "]refused " : "] ";
  };
  list("initState", m.initState);
  list("outMembers", m.outMembers);
  return out;
}

struct ExtendCase {
  const char* text;
  bool quick;            // the quick reader answers
  const char* expected;  // the document reader's reading, or "no object"
};

const ExtendCase kExtendCases[] = {
    {R"({"addr":"10.0.0.1:80","conferMode":"m","mode":"single","rtcType":"p2pconfer",)"
     R"("roomToken":"t","srvVer":"3","srvTag":"g","initState":["1_011","2_100"],)"
     R"("outMembers":["4"]})",
     true,
     "addr=10.0.0.1:80 conferMode=m mode=single rtcType=p2pconfer roomToken=t srvVer=3 "
     "srvTag=g initState=[1_011,2_100,] outMembers=[4,] "},
    {"{}", true, "initState=[] outMembers=[] "},
    {" \t{ \"addr\" :\n\"a\" , \"initState\" : [ \"x\" , \"y\" ] }\r\n", true,
     "addr=a initState=[x,y,] outMembers=[] "},
    // Duplicated keys: the first member decides, whatever its kind.
    {R"({"addr":"a","addr":"b","initState":["1"],"initState":["2"]})", true,
     "addr=a initState=[1,] outMembers=[] "},
    {R"({"addr":1,"addr":"b","rtcType":{"rtcType":"in"},"rtcType":"out"})", true,
     "initState=[] outMembers=[] "},
    {R"({"initState":"a","initState":["b"],"outMembers":{"0":"x"},"outMembers":["y"]})", true,
     "initState=[] outMembers=[] "},
    // Escapes in keys and values.
    {R"({"add\u0072":"x","m\u006fde":"a\"b\\c\/d\n\u0041","srvTag":""})", true,
     "addr=x mode=a\"b\\c/d\nA srvTag= initState=[] outMembers=[] "},
    {R"({"addr\u0000":"x","addr ":"y","Addr":"z","initState":["\t"]})", true,
     "initState=[\t,] outMembers=[] "},
    {R"({"addr":"\u00e9"})", false, "addr=\xC3\xA9 initState=[] outMembers=[] "},
    // Keys of nested objects are not the extend's.
    {R"({"x":{"addr":"no","initState":["n"]},"y":[{"srvVer":"no"}],"addr":"yes"})", true,
     "addr=yes initState=[] outMembers=[] "},
    // Lists: the texts before the first element of another kind.
    {R"({"initState":["a",["b"],"c"],"outMembers":["d",null]})", true,
     "initState=[a,]refused outMembers=[d,]refused "},
    {R"({"initState":[{"addr":"x"}],"addr":"y","outMembers":[]})", true,
     "addr=y initState=[]refused outMembers=[] "},
    {R"({"outMembers":[1,"2"],"initState":[true]})", true,
     "initState=[]refused outMembers=[]refused "},
    // Numbers and texts that look like numbers.
    {R"({"srvVer":3,"srvTag":"3","roomToken":-0,"conferMode":false})", true,
     "srvTag=3 initState=[] outMembers=[] "},
    {R"({"srvVer":1.5,"addr":"a"})", false, "addr=a initState=[] outMembers=[] "},
    {R"({"srvVer":123456789012345678901234,"addr":"a"})", false,
     "addr=a initState=[] outMembers=[] "},
    // Deeper than the quick pass goes.
    {R"({"x":[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]],"mode":"m"})",
     false, "mode=m initState=[] outMembers=[] "},
    // No JSON object.
    {R"({"addr":"a")", false, "no object"},
    {R"({"addr":"a"}x)", false, "no object"},
    {R"({"addr":"a",})", false, "no object"},
    {R"(["addr","a"])", false, "no object"},
    {"\"addr\"", false, "no object"},
    {"{\"addr\":\"a\x01\"}", false, "no object"},
    {R"({"addr":"a\q"})", false, "no object"},
    {R"({'addr':'a'})", false, "no object"},
};

TEST(ExtendMembers, QuickReadsWhatTheDocumentReads) {
  for (const ExtendCase& c : kExtendCases) {
    SCOPED_TRACE(c.text);
    extendMembers full;
    const std::string fullReading =
        fullExtendMembers(c.text, full) ? extendReading(full) : "no object";
    EXPECT_EQ(fullReading, c.expected);
    extendMembers quick;
    const bool answered = quickExtendMembers(c.text, quick);
    EXPECT_EQ(answered, c.quick);
    if (answered) {
      EXPECT_EQ(extendReading(quick), fullReading);
    }
  }
}

}  // namespace
}  // namespace imsdkmrtc
