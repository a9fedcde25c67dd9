#!/usr/bin/env python3
# Writes the seed inputs of the requests, settings and slb fuzz targets in
# FuzzedDataProvider's layout: strings from the front (each ended by a
# backslash and another character), integers from the back, last first. The
# steps follow the order in which each target consumes its input.
#   fuzz/corpus/make_seeds.py      (rewrites fuzz/corpus/{requests,settings,slb})
import os, struct
class Seed:
    def __init__(self): self.front=b''; self.tail=[]
    def s(self, text):
        b=text.encode() if isinstance(text,str) else text
        self.front += b.replace(b'\\', b'\\\\') + b'\\n'
        return self
    def i(self, value, nbytes=1):
        # consumed last byte first; value built as big-endian from the end
        bs=[(value >> (8*k)) & 0xff for k in range(nbytes-1,-1,-1)]
        self.tail += bs
        return self
    def data(self): return self.front + bytes(reversed(self.tail))
def write(dirname, name, seed):
    os.makedirs(dirname, exist_ok=True)
    open(os.path.join(dirname,name),'wb').write(seed.data())

R=os.path.dirname(os.path.abspath(__file__)) + '/'
# ---- requests: step = client, code, shape, id(8), fields..., clock
ANN={'accept':0,'refuse':1,'busy':2,'hungup_uiclick':3,'intoroom':4,'levelroom':5,'calltimeout':6,'':7}
IDS={1001:0,2001:1,2002:2,300:3,0:4,1:5,-1:6,3003:7}
ROOM={'r1':0,'r2':1,'':2}
EXT={'rtc':0,'p2p':1,'unbind':2,'micro':3,'':4}
CLOCK={0:0,1000:2,5000:3,31000:4,100000:5}
def req(seed, bob, code, annotation='', group=300, room='r1', members=(), extend='rtc', ms=0, shape=0, kind=0):
    seed.i(1 if bob else 0).i(code-24001).i(shape)
    if shape < 5:
        seed.i(7, 8)
        if code == 24006:
            pass
        else:
            seed.i(kind).i(ANN[annotation]).i(IDS[group]).i(ROOM[room]).i(0).i(len(members))
            for m in members: seed.i(IDS[m])
            seed.i(EXT[extend])
    seed.i(CLOCK[ms])
    return seed
def extra(seed, bob, typ, cmd, ext, ms=0):
    seed.i(1 if bob else 0).i(5).i(0).i(7,8).i(typ & 0xff).s(cmd).s(ext).i(CLOCK[ms])
    return seed
D=R+'requests'
s=Seed(); req(s,False,24001,members=(2001,2002)); req(s,True,24003,'accept',members=(2001,),ms=1000); req(s,False,24005,'hungup_uiclick',ms=5000); write(D,'group_call_answer_hangup',s)
s=Seed(); req(s,False,24001,group=0,members=(2001,),extend='p2p'); req(s,True,24003,'refuse',group=0,members=(2001,),extend='p2p'); write(D,'p2p_call_refused',s)
s=Seed(); req(s,False,24001,members=(2001,2002)); req(s,False,24002,members=(3003,)); req(s,False,24009,'intoroom',members=(2001,)); req(s,False,24008,ms=31000); req(s,False,24009,'levelroom',members=(2001,),ms=100000); write(D,'invite_connectstate_timeouts',s)
s=Seed(); req(s,False,24001,members=(2001,2002)); req(s,True,24004,members=(2001,)); req(s,True,24005,'hungup_uiclick'); write(D,'join_from_board',s)
s=Seed(); req(s,False,24001,members=(2001,),extend='unbind'); req(s,False,24001,room='r2',members=(2001,),extend='micro'); write(D,'unbind_and_micro',s)
s=Seed(); req(s,False,24001,shape=5); req(s,True,24003,shape=6); req(s,False,24010,shape=7); req(s,False,24007); write(D,'odd_records',s)
s=Seed(); extra(s,False,13,'{"forceOwnerAddr":"on"}',''); req(s,False,24001,members=(2001,)); extra(s,False,1,'{"pcOnOff":"off"}',''); req(s,False,24001,members=(2001,)); write(D,'settings_between',s)
card=('{"extendInfo":{"roomID":"r1","roomName":"Team","senderId":"2001","groupId":"300","onwerId":"2001",'
      '"oName":"Qm9i","version":"mrtc@1.8.8","mode":"mcalling","subType":1,"selects":["1001","2002"]}}')
s=Seed(); s.i(0).i(24010-24001).i(0).i(7,8).i(0).i(ANN['']).i(IDS[0]).i(ROOM['']).i(0).i(0).i(5).s(card).i(0); write(D,'templet_join_card',s)
s=Seed(); s.i(0).i(0).i(0).i(7,8).i(0).i(ANN['']).i(IDS[300]).i(ROOM['r1']).i(0).i(1).i(IDS[2001]).i(5).s('{"rtcType":"rtc","mode":"single","roomToken":"a\\"b","addr":"x:1","conferMode":"live"}').i(0); write(D,'call_odd_extend',s)

# ---- settings: bool(call first), then per step: type index, [extend], cmd, clock
TYPES=[1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,101,102]
def step(seed, typ, cmd, ext='', pushed=None, clock=False):
    seed.i(TYPES.index(typ))
    if typ == 5:
        if pushed is None: seed.i(0).s(ext)
        else:
            sender, age = pushed
            seed.i(2).i(age + 70000, 3).i(['2001','1001','2002','10001'].index(sender))
    else: seed.s(ext)
    seed.s(cmd).i(0 if clock else 1)
    return seed
D=R+'settings'
def body(t, extra=''):
    return ('{"type":"%s","senderId":"2001","groupId":"300","onwerId":"2001","roomId":"r1","roomName":"Team",'
            '"deviceType":"2","version":"mrtc@1.8.8","rtcType":"rtc","cmode":"chat","selects":[1001,2002],'
            '"members":[2001,1001,2002]%s}') % (t, extra)
s=Seed().i(0); step(s,5,body('multi_call'),pushed=('2001',1000)); step(s,5,body('multi_hungup',',"annotation":"refuse"'),pushed=('2001',0)); write(D,'pushed_call_hungup',s)
s=Seed().i(0); step(s,5,body('multi_call').replace('"rtc"','"p2pconfer"'),pushed=('2001',310000)); write(D,'pushed_outdated',s)
s=Seed().i(1); step(s,14,'{"groupId":"300"}'); step(s,15,''); step(s,14,'{"groupId":"300"}'); write(D,'finish_hint_reset',s)
s=Seed().i(0); step(s,16,'{"enable":"on","duration":"30","count":"2","bellDuration":"5"}'); step(s,18,'{"enable":"off","unbindSwitch":"on"}'); step(s,19,'{"addrSwitch":"on"}'); step(s,10,'{"loseDuration":"40"}'); step(s,12,'{"mcalling_version":"2"}'); write(D,'switches',s)
s=Seed().i(0); step(s,1,'{"pcOnOff":"on"}'); step(s,2,'{"limitRange":"off"}'); step(s,6,'{"boardSwitch":"on"}'); step(s,3,'{"groupId":"300"}'); step(s,4,''); step(s,13,'{"forceOwnerAddr":"on"}'); step(s,11,'',clock=True); write(D,'gate_board_active',s)
micro='{"reqData":{"conferType":"1","selects":["2001"],"conferMode":"chat","groupId":"300","roomId":"m1","roomName":"M"}}'
s=Seed().i(0); step(s,17,micro); step(s,20,micro.replace('"groupId":"300",','')); step(s,101,micro); step(s,8,'{"groupId":"300","roomId":"x"}'); step(s,102,'{"type":"vnio"}'); write(D,'conference_texts',s)
s=Seed().i(0); step(s,7,'{"optType":"update","originator":"o","version":"v"}'); step(s,9,'{"tempDetailUrl":"https://d.example/"}'); step(s,22,'{"reqData":{"roomId":"r1"}}'); step(s,22,'{"reqData":{"roomId":"zz"}}'); write(D,'templates_tokens',s)
s=Seed().i(0); step(s,21,'{"type":"create"}','{"shareText":"hi","memberIds":["2001","2002"],"faceToId":"2001","groupId":"300","outMembers":["2002"]}'); step(s,21,'{"type":"history"}','{"shareText":"x","groupId":"300"}'); write(D,'share_texts',s)

# ---- slb: netId string, bool, [apHost string], key index, network value, plain value
D=R+'slb'
def slb(name, netId, ap, key, net, plain, desc=None):
    s=Seed().s(netId)
    if desc is None: s.i(1).s(ap)
    else: s.i(0).s(desc)
    s.i(key).s(net).s(plain); write(D,name,s)
slb('per_network_json','7','http:\\/\\/ap.example:80',0,'{"mediaServerAddr":"10.0.0.7:7000"}','')
slb('per_network_plain','12','//ap.example',3,'10.0.0.12:7001','')
slb('plain_json','3','ap.example',4,'','{"mediaServerAddr":"10.1.1.1:10670"}')
slb('plain_text','3','ap.example',4,'','10.1.1.2:9')
slb('blank_default','3','ap.example:9',4,'','')
slb('json_without_addr','3','ap',4,'','{"other":"x"}')
slb('bad_port','3','ap',4,'','host:12ab')
slb('no_ap','',None,4,'','',desc='{"netId":5}')
