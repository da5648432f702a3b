#!/usr/bin/env python3
# Writes fuzz/dict/<target>.dict: the syntax of each format plus the keys and values its reader
# names in its source. Run from the repository root after a reader learns new keys.
import re, glob
plist = ['<?xml version="1.0" encoding="UTF-8"?>','<plist version="1.0">','</plist>','<dict>','</dict>','<array>','</array>','<key>','</key>','<string>','</string>','<integer>','</integer>','<real>','</real>','<true/>','<false/>','<data>','</data>','<date>','</date>','<dict/>','<array/>','<string/>','&amp;','&lt;','&#x41;','<![CDATA[',']]>','bplist00','1e308','-0','nan','inf','2001-01-01T00:00:00Z']
json = ['{','}','[',']','":','","','null','true','false','1e308','-1e308','0.5','-1','"\\u0000"','"\\ud800"']
ident = re.compile(r'^[A-Za-z_$#][A-Za-z0-9_.$#:/-]{0,39}$')
def literals(files):
    seen=[]
    for f in files:
        s=open(f,encoding='utf-8').read()
        for m in re.finditer(r'"((?:[^"\\\n]|\\.){1,40})"', s):
            v=m.group(1)
            if ident.match(v) and not v.endswith('.h') and v not in seen: seen.append(v)
    return seen
def g(*pats):
    r=[]
    for p in pats: r+=sorted(glob.glob(p))
    return r
targets = {
 'document': (g('framework/archive/*.cpp','framework/model/*.cpp','framework/styles/VRStyleCoding.cpp','framework/styles/VRRasterizer.cpp','framework/base/VRConstants.cpp'), json),
 'pasteboard': (g('framework/archive/*.cpp','framework/model/VRDrawableObject.cpp','framework/styles/VRStyle.cpp','framework/styles/VRRasterizer.cpp','framework/base/VRConstants.cpp'), json),
 'stencil': (g('framework/notations/QntImportFromGraffle.cpp','framework/notations/QntSvgPathData.cpp'), plist),
 'gradient': (g('framework/styles/VRGradient.cpp','framework/styles/VRColorStop.cpp','framework/styles/VRPlistCoder.cpp'), plist),
 'styles': (g('framework/styles/*.cpp'), json),
 'defaults': (g('platform/UserDefaults.cpp','platform/PropertyList.cpp'), plist),
 'notation': (g('framework/notations/QntNotation.cpp','framework/notations/QntNotationArchive.cpp','framework/notations/FMDatabase.cpp'), ['SQLite format 3\x00','CREATE TABLE','INTEGER','BLOB','TEXT']+json),
 'image_bank': (g('library/QntImagesBankController.cpp','framework/notations/QntNotation.cpp','framework/notations/QntNotationArchive.cpp','framework/notations/FMDatabase.cpp'), ['SQLite format 3\x00','CREATE TABLE','INTEGER','BLOB','TEXT','ImportedElements','StringParams','BlobParams']+json),
 'image_bank_picture': ([], ['\x89PNG\r\n\x1a\n','IHDR','IDAT','IEND','\xff\xd8\xff','\xff\xd9','GIF89a','BM','II*\x00','MM\x00*','\x00\x00\x01\x00','<svg','%PDF-']),
 'record': (g('telemetry/crash/FLTFile.cpp','telemetry/crash/FLTUserLogging.cpp','telemetry/crash/FLTExceptionHandler.cpp'), json),
 'crash_report': (g('telemetry/crash/FLTInternalReport.cpp','telemetry/crash/FLTSymbolResolver.cpp','telemetry/crash/FLTProcessReportOperation.cpp','telemetry/crash/FLTReportsController.cpp','telemetry/crash/FLTFile.cpp'), json),
 'svg': (g('framework/svg/*.cpp'), ['<svg','</svg>','<g','</g>','<style>','</style>','<text','</text>','<tspan','<rect','<path','<polygon','<circle','<ellipse','<line','<polyline','transform="','translate(','matrix(','rotate(','scale(','class="','style="','d="','points="','viewBox="','{','}',':',';','>','#','.','&amp;','&quot;','&#x41;','<![CDATA[']),
 'sequence_outline': (g('library/SimpleNodeData.cpp','library/QntSequenceDiagramController.cpp'), json),
 'telemetry_settings': (g('telemetry/crash/FLTSettings.cpp','telemetry/core/PLNSettings.cpp','telemetry/core/FLTUserDefaults.cpp','telemetry/platform/PlistValue.cpp'), json+plist),
 'analytics_files': (g('telemetry/TallyKit/TLYCleanupFilesOperation.cpp','telemetry/TallyKit/TLYSettings.cpp','telemetry/TallyKit/TLYMetadata.cpp'), json+['\t','\n','metadata','\x1f\x8b\x08','MIME-Version: 1.0\r\n','--C--\r\n','--C\r\n']),
}
def esc(v):
    o=''
    try:
        raw = v.encode('latin-1')  # binary tokens (magic numbers) byte for byte
    except UnicodeEncodeError:
        raw = v.encode('utf-8')
    for ch in raw:
        c=chr(ch)
        if c in '"\\': o+='\\'+c
        elif 32<=ch<127: o+=c
        else: o+='\\x%02X'%ch
    return o
for name,(files,extra) in targets.items():
    vals = extra + [v for v in literals(files) if v not in extra]
    vals = vals[:400]
    with open(f'fuzz/dict/{name}.dict','w') as f:
        f.write(f"# Tokens of the {name} reader: its format's syntax and the keys and values it reads.\n")
        for v in vals:
            f.write(f'"{esc(v)}"\n')
    print(name, len(vals))
