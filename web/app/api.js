// SPDX-License-Identifier: MIT
// The server's API (apps/korvel-hrv/serve/web_server.h). The session's token travels in a
// cookie the first page load set; every answer is JSON, and an error carries its reason.

async function reply(response) {
  const type = response.headers.get('Content-Type') ?? '';
  const body = type.startsWith('application/json') ? await response.json() : await response.text();
  if (!response.ok) throw new Error(body?.error ?? `the server answered ${response.status}`);
  return body;
}

export const get = async (path) => reply(await fetch(path));

export const post = async (path, body = {}) =>
  reply(await fetch(path, { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body) }));
