// The application of one device. It sends the node's own JSON requests and
// follows the items the node writes (UI events, request answers, messages
// inserted into the history), as the node's standard input and output do.
'use strict';

const LOG_KEEP = 200;   // event log entries shown
const CHAT_KEEP = 50;   // entries kept per chat
const EVENT = { RING: 1, INVITED: 2, ENTERED: 3, HUNGUP: 4, FINISHED: 5, NO_ANSWER: 6,
                HINT: 21, CARD: 22 };
const CARD_MESSAGE = 26;
const CONNECT_STATE = 24009;
const HINT_STARTED = '21';
const HINT_FINISHED = '22';
const STATE_TEXT = { ringing: 'ringing', joined: 'joined', refused: 'refused', busy: 'busy',
                     'no-answer': 'no answer', left: 'left', calling: 'called' };

const $ = (id) => document.getElementById(id);
const el = (tag, props, ...kids) => {
  const { dataset, ...rest } = props || {};
  const e = Object.assign(document.createElement(tag), rest);
  Object.assign(e.dataset, dataset || {});
  for (const k of kids) e.append(k);
  return e;
};

let dir = null;          // {self, users, groups}
let ring = null;         // the incoming call that rings here
let call = null;         // the call shown in the call panel
let openChat = null;     // chat id shown
let clock = 0;           // interval of the running time
const chats = new Map(); // chat id -> {entries, unread}

const nameOf = (id) => (dir.users.find((u) => u.id === id) || { name: String(id) }).name;
const groupOf = (id) => dir.groups.find((g) => g.id === id);
const chatName = (id) => (groupOf(id) ? `Group ${id}` : nameOf(id));

async function send(line) {
  const res = await fetch('api/request', {
    method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(line) });
  if (res.status !== 202) addLog({ kind: 'error', text: `request refused: ${res.status}` });
}

// ----- placing, answering, leaving -----

function placeCall(chatId, members, video) {
  if (call && !call.ended) return; // one call at a time: hang up first
  const group = groupOf(chatId);
  const roomId = `r${dir.self.id}-${Date.now().toString(36)}`;
  const extend = group ? { rtcType: 'rtc' } : { rtcType: 'p2pconfer', initState: [video ? '42_311' : '42_312'] };
  const roomName = video ? 'Video call' : 'Voice call';
  startCall({ roomId, groupId: group ? chatId : 0, chat: chatId, title: `${roomName} with ${chatName(chatId)}`,
              members, mine: true, p2p: !group });
  send({ request: 'call', groupId: group ? chatId : 0, roomId, roomName, members, extend });
}

function startCall(c) {
  call = Object.assign({ states: new Map(), began: Date.now(), ended: false }, c);
  for (const m of c.members) if (m !== dir.self.id) call.states.set(m, c.mine ? 'ringing' : 'calling');
  clearInterval(clock);
  clock = setInterval(renderTime, 1000);
  renderCall();
}

function endCall(why) {
  if (!call || call.ended) return;
  call.ended = true;
  call.why = why;
  clearInterval(clock);
  renderCall();
  $('dismiss').focus();
}

function roomOf(c) { return { groupId: c.groupId, roomId: c.roomId }; }

$('accept').onclick = () => {
  if (!ring) return;
  const r = ring;
  stopRinging();
  startCall({ roomId: r.roomId, groupId: r.groupId, chat: r.chat, title: r.title, members: r.members, mine: false,
              p2p: r.p2p });
  call.states.set(r.from, 'joined');
  send({ request: 'intoroom', annotation: 'accept', members: [dir.self.id], ...roomOf(r) });
};
$('refuse').onclick = () => {
  if (!ring) return;
  send({ request: 'hungup', annotation: 'refuse', ...roomOf(ring) });
  stopRinging();
};
$('hangup').onclick = () => {
  if (!call || call.ended) return;
  const nobodyCame = ![...call.states.values()].includes('joined');
  const annotation = call.p2p && call.mine && nobodyCame ? 'cancel_uiclick' : 'hungup_uiclick';
  send({ request: 'hungup', annotation, ...roomOf(call) });
  endCall('you hung up');
};
$('dismiss').onclick = () => { call = null; renderCall(); };
$('invite').onclick = () => {
  if (!call || call.ended) return;
  const members = [...$('invite-list').querySelectorAll('input:checked')].map((i) => Number(i.value));
  if (!members.length) return;
  for (const m of members) call.states.set(m, 'ringing');
  send({ request: 'invite', members, ...roomOf(call) });
  renderCall();
};

function stopRinging() {
  ring = null;
  $('ring').hidden = true;
}

// ----- what the node reports -----

function chatOfEvent(e) {
  if (e.groupId) return e.groupId;
  const peer = e.senderId && e.senderId !== dir.self.id ? e.senderId : e.onwerId;
  return peer && peer !== dir.self.id ? peer : (call ? call.chat : 0);
}

function onEvent(e) {
  const me = dir.self.id;
  const here = (x) => call && !call.ended && call.roomId === x.roomId;
  switch (e.type) {
    case EVENT.RING: {
      const p2p = !e.groupId;
      const chat = p2p ? e.senderId : e.groupId;
      const members = [...new Set([e.senderId, ...(e.selects || []), ...(e.members || [])])];
      ring = { roomId: e.roomId, groupId: e.groupId, from: e.senderId, chat, members, p2p,
               title: `${e.roomName || 'Call'} from ${nameOf(e.senderId)}${p2p ? '' : ` in ${chatName(chat)}`}` };
      $('ring-text').textContent = ring.title;
      $('ring').hidden = false;
      $('accept').focus();
      break;
    }
    case EVENT.INVITED:
      if (here(e)) for (const m of e.members || []) if (m !== me && !call.states.has(m)) call.states.set(m, 'ringing');
      break;
    case EVENT.ENTERED:
      if (here(e) && e.senderId !== me) call.states.set(e.senderId, 'joined');
      break;
    case EVENT.HUNGUP:
      if (here(e) && e.senderId !== me) call.states.set(e.senderId, hangupState(e.annotation, call.states.get(e.senderId)));
      break;
    case EVENT.NO_ANSWER:
      if (here(e)) for (const m of e.selects || []) if (call.states.get(m) !== 'joined') call.states.set(m, 'no-answer');
      break;
    case EVENT.FINISHED:
      if (ring && ring.roomId === e.roomId) {
        addChat(ring.chat, { notice: `Missed call: ${finishText(e.annotation)}` });
        stopRinging();
      }
      if (call && call.roomId === e.roomId) endCall(finishText(e.annotation));
      break;
    case EVENT.HINT: {
      addChat(hintChat(e.extend), { notice: hintText(e.extend) });
      const { h, info } = parseHint(e.extend);
      if (h.operType === HINT_FINISHED && call && call.roomId === info.roomId) endCall('the call ended');
      break;
    }
    case EVENT.CARD:
      addCard(e.extend);
      break;
    default:
      return;
  }
  if (call) { leaveWhenAlone(); renderCall(); }
}

// The media room reports who came in and who left (request 24009, from the
// media SDK of this device).
function onRoomReport(item) {
  if (!call || call.ended || item.roomId !== call.roomId) return;
  for (const m of item.members || []) {
    if (m === dir.self.id) continue;
    if (item.annotation === 'intoroom') call.states.set(m, 'joined');
    else if (item.annotation === 'levelroom' && call.states.get(m) === 'joined') call.states.set(m, 'left');
  }
  leaveWhenAlone();
  renderCall();
}

// A call that nobody else is in, or still ringing for, is over: the last one
// in the room hangs up (and so posts the finish notice).
function leaveWhenAlone() {
  if (!call || call.ended) return;
  const states = [...call.states.values()];
  if (!states.includes('left') && !states.some((s) => s === 'refused' || s === 'busy' || s === 'no-answer')) return;
  if (states.some((s) => s === 'joined' || s === 'ringing')) return;
  send({ request: 'hungup', annotation: 'hungup_uiclick', ...roomOf(call) });
  endCall(states.includes('left') ? 'everyone left' : 'nobody answered');
}

function hangupState(annotation, was) {
  const a = annotation || '';
  if (a.includes('refuse')) return 'refused';
  if (a.includes('busy')) return 'busy';
  if (a.includes('timeout') && was !== 'joined') return 'no-answer';
  return 'left';
}

function finishText(annotation) {
  const a = annotation || '';
  if (a.endsWith('_intoroom')) return 'answered on another device';
  if (a.includes('becalltimeout')) return 'no answer in time';
  if (a.includes('keepalivetimeout')) return 'connection lost';
  if (a.includes('refuse')) return 'refused';
  if (a.includes('cancel')) return 'cancelled';
  if (a.includes('busy')) return 'busy';
  return 'ended';
}

// A grey notice: {"operType":"..","operUser":"..","usersInfo":"groupId=..,roomId=..,operUserName=.."}.
function parseHint(text) {
  try {
    const h = JSON.parse(text);
    const info = Object.fromEntries(String(h.usersInfo || '').split(',').map((kv) => kv.split('=')));
    return { h, info };
  } catch (_) {
    return { h: {}, info: {} };
  }
}
function hintChat(text) {
  const { info } = parseHint(text);
  return Number(info.groupId) || (call ? call.chat : 0);
}
function hintText(text) {
  const { h, info } = parseHint(text);
  const who = info.operUserName || nameOf(Number(h.operUser));
  if (h.operType === HINT_STARTED) return `${who} started a call`;
  if (h.operType === HINT_FINISHED) return 'The call ended';
  return text;
}

function addCard(text) {
  let card;
  try { card = JSON.parse(text).extendInfo || {}; } catch (_) { card = {}; }
  const chat = Number(card.groupId) || (call ? call.chat : 0);
  addChat(chat, { card: text, roomId: card.roomID || '', groupId: Number(card.groupId) || 0,
                  title: `${card.roomName || 'Call'} by ${nameOf(Number(card.onwerId))}` });
}

function onItem(item) {
  addLog(item);
  if (item.kind === 'event') onEvent(item);
  else if (item.kind === 'insert' && item.type === CARD_MESSAGE) addCard(item.body);
  else if (item.kind === 'request' && item.cmd === CONNECT_STATE) onRoomReport(item);
  else if (item.kind === 'request' && 'result' in item && item.result !== 0 && call && !call.ended) {
    if (item.roomId === call.roomId && item.cmd === 24001) endCall(`the call failed (${item.result})`);
  }
}

// ----- chats -----

function chatOf(id) {
  if (!chats.has(id)) chats.set(id, { entries: [], unread: 0 });
  return chats.get(id);
}

function addChat(id, entry) {
  if (!id) return;
  const c = chatOf(id);
  c.entries.push(entry);
  if (c.entries.length > CHAT_KEEP) c.entries.shift();
  if (openChat === id) renderChat(); else { c.unread++; renderUnread(id); }
}

function renderChat() {
  const list = $('chat-list');
  list.replaceChildren(...chatOf(openChat).entries.map((e) => {
    if (!e.card) return el('li', { className: 'notice', textContent: e.notice });
    const running = call && !call.ended && call.roomId === e.roomId;
    const b = el('button', { textContent: `${e.title}: ${running ? 'in this call' : 'join'}`, disabled: running });
    b.onclick = () => {
      startCall({ roomId: e.roomId, groupId: e.groupId, chat: openChat, title: e.title, members: [], mine: false });
      send({ request: 'templetjoin', groupId: e.groupId, roomId: e.roomId, extend: e.card });
    };
    return el('li', { className: 'card' }, b);
  }));
}

function showChat(id) {
  openChat = id;
  chatOf(id).unread = 0;
  renderUnread(id);
  $('chat-title').textContent = `Chat: ${chatName(id)}`;
  $('chat').hidden = false;
  renderChat();
}

function renderUnread(id) {
  const badge = document.querySelector(`[data-unread="${id}"]`);
  if (badge) badge.textContent = chatOf(id).unread ? `${chatOf(id).unread} new` : '';
}

// ----- the panels -----

function renderTime() {
  if (!call) return;
  const s = Math.floor((Date.now() - call.began) / 1000);
  $('call-time').textContent = `${Math.floor(s / 60)}:${String(s % 60).padStart(2, '0')}`;
}

function renderCall() {
  $('call').hidden = !call;
  if (!call) return;
  $('call-title').textContent = call.title;
  $('call-state').textContent = call.ended ? `Call ended: ${call.why}` : 'In call';
  $('call').dataset.state = call.ended ? 'ended' : 'active';
  renderTime();
  $('call-members').replaceChildren(...[...call.states].map(([id, st]) => el('li', { dataset: { member: id } },
    el('span', { textContent: nameOf(id) }),
    el('span', { className: `state ${st}`, dataset: { state: st }, textContent: STATE_TEXT[st] }))));
  const group = groupOf(call.groupId);
  const others = group ? group.members.filter((m) => m !== dir.self.id && !call.states.has(m)) : [];
  $('invite-box').hidden = call.ended || !others.length;
  $('invite-list').replaceChildren(el('legend', { textContent: 'Invite' }), ...others.map((m) =>
    el('label', {}, el('input', { type: 'checkbox', value: m }), ` ${nameOf(m)}`)));
  $('hangup').hidden = call.ended;
  $('dismiss').hidden = !call.ended;
}

function renderContacts() {
  const rows = [];
  for (const g of dir.groups) {
    if (!g.members.includes(dir.self.id)) continue;
    const picks = el('fieldset', {}, el('legend', { className: 'name', textContent: `Group ${g.id}` }),
      ...g.members.filter((m) => m !== dir.self.id).map((m) =>
        el('label', {}, el('input', { type: 'checkbox', value: m, checked: true }), ` ${nameOf(m)}`)));
    const chosen = () => [...picks.querySelectorAll('input:checked')].map((i) => Number(i.value));
    rows.push(contactRow(g.id, picks, (video) => { const m = chosen(); if (m.length) placeCall(g.id, m, video); }));
  }
  for (const u of dir.users) {
    if (u.id === dir.self.id) continue;
    rows.push(contactRow(u.id, el('span', { className: 'name', textContent: u.name }),
                         (video) => placeCall(u.id, [u.id], video)));
  }
  $('contact-list').replaceChildren(...rows);
}

function contactRow(id, head, dial) {
  const button = (text, cls, act) => { const b = el('button', { textContent: text, className: cls }); b.onclick = act; return b; };
  return el('li', { dataset: { chat: id } }, head, el('span', { className: 'unread', dataset: { unread: id } }),
    el('div', { className: 'actions' },
      button('Voice call', 'go', () => dial(false)), button('Video call', 'go', () => dial(true)),
      button('Chat', '', () => showChat(id))));
}

// ----- the event log -----

function addLog(item) {
  const what = item.kind === 'event' ? `event ${item.type} ${item.annotation || ''}`
    : item.kind === 'request' ? `request ${item.cmd}${'result' in item ? ` = ${item.result}` : ''}`
    : item.kind;
  const json = JSON.stringify(item, null, 1);
  const b = el('button', { textContent: `${((item.t || 0) / 1000).toFixed(1)} ${what}` });
  b.onclick = () => { $('log-json').textContent = json; };
  const log = $('log');
  log.append(el('li', {}, b));
  while (log.children.length > LOG_KEEP) log.firstChild.remove();
  $('log-count').textContent = log.children.length;
}

// ----- start -----

async function start() {
  dir = await (await fetch('api/directory')).json();
  $('me').textContent = `${dir.self.name} (${dir.self.client})`;
  document.title = `${dir.self.name}: calls`;
  renderContacts();
  // One-to-one calls are off until the application turns them on.
  send({ extra: { type: 18, cmd: JSON.stringify({ p2pSwitch: 'on' }) } });
  const events = new EventSource('api/events');
  events.onopen = () => { $('link').textContent = 'online'; $('link').className = 'badge up'; };
  events.onerror = () => { $('link').textContent = 'reconnecting'; $('link').className = 'badge'; };
  events.onmessage = (m) => onItem(JSON.parse(m.data));
}

start();
