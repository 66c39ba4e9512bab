#!/usr/bin/env python3
"""The service's answers against its OpenAPI document.

First the document itself: every operation has an operationId, every parameter, header, request
body and answer body an example that its own schema takes, and every answer the content type the
service sends. Then kovrix-server is started on the simulator (with a token) and a set of requests,
good and bad, is sent over raw sockets: each answer's status must be documented for its operation,
its Content-Type must be the documented one and its body must match the documented schema.

usage: openapi_contract.py KOVRIX_SERVER KOVRIX_SIM OPENAPI_JSON
"""

import json
import os
import re
import socket
import subprocess
import sys
import tempfile
import time

try:
    import jsonschema
except ImportError:
    print("openapi_contract: python3-jsonschema is missing; run scripts/install-deps", file=sys.stderr)
    sys.exit(1)

JSON_ANSWER = "application/json; charset=utf-8"
METRICS_ANSWER = "text/plain; version=0.0.4; charset=utf-8"  # the Prometheus exposition
TOKEN = "contract-test-token-0123"

failures = []


def fail(what):
    failures.append(what)
    print("FAIL: " + what)


def resolved(doc, node, depth=0):
    """The schema with its $refs into the document replaced by what they name (none is recursive)."""
    if depth > 32:
        raise SystemExit("openapi_contract: $refs nest too deep")
    if isinstance(node, dict):
        if "$ref" in node:
            target = doc
            for part in node["$ref"].lstrip("#/").split("/"):
                target = target[part]
            return resolved(doc, target, depth + 1)
        return {k: resolved(doc, v, depth) for k, v in node.items()}
    if isinstance(node, list):
        return [resolved(doc, v, depth) for v in node]
    return node


def validator(doc, schema):
    # OpenAPI 3.0 schemas are JSON Schema draft 4 with a few keywords of their own (example,
    # nullable), which the validator ignores.
    return jsonschema.Draft4Validator(resolved(doc, schema))


def check_example(doc, where, schema, example):
    errors = [e.message for e in validator(doc, schema).iter_errors(example)] if schema is not None else []
    if errors:
        fail("%s: the example does not match its schema: %s" % (where, errors[0]))


def parameters(doc, path_item, operation):
    for p in path_item.get("parameters", []) + operation.get("parameters", []):
        if "$ref" in p:
            p = doc["components"]["parameters"][p["$ref"].rsplit("/", 1)[1]]
        yield p


def operations(doc):
    for path, item in doc["paths"].items():
        for method, operation in item.items():
            if method != "parameters":
                yield path, item, method, operation


def check_document(doc):
    if not doc.get("info", {}).get("license", {}).get("name"):
        fail("info has no license")
    ids = set()
    for path, item, method, op in operations(doc):
        where = "%s %s" % (method.upper(), path)
        op_id = op.get("operationId")
        if not op_id:
            fail(where + ": no operationId")
        elif op_id in ids:
            fail(where + ": operationId %s is used twice" % op_id)
        ids.add(op_id)
        for p in parameters(doc, item, op):
            if "example" not in p:
                fail("%s: parameter %s has no example" % (where, p["name"]))
            else:
                check_example(doc, "%s parameter %s" % (where, p["name"]), p.get("schema"), p["example"])
        for media, content in op.get("requestBody", {}).get("content", {}).items():
            if "example" not in content:
                fail("%s: the request body (%s) has no example" % (where, media))
            else:
                check_example(doc, where + " request body", content.get("schema"), content["example"])
        for status, answer in op["responses"].items():
            at = "%s answer %s" % (where, status)
            for media, content in answer.get("content", {}).items():
                sent = METRICS_ANSWER if path == "/metrics" and status == "200" else JSON_ANSWER
                if media != sent:
                    fail("%s: content type %s, the service sends %s" % (at, media, sent))
                if "example" not in content:
                    fail(at + ": no example")
                else:
                    check_example(doc, at, content.get("schema"), content["example"])
            for name, header in answer.get("headers", {}).items():
                if "example" not in header:
                    fail("%s: header %s has no example" % (at, name))
                else:
                    check_example(doc, "%s header %s" % (at, name), header.get("schema"), header["example"])


class Answer:
    def __init__(self, raw):
        head, _, body = raw.partition(b"\r\n\r\n")
        lines = head.decode("latin-1").split("\r\n")
        self.status = int(lines[0].split(" ")[1]) if lines and len(lines[0].split(" ")) > 1 else 0
        self.headers = {}
        for line in lines[1:]:
            name, _, value = line.partition(":")
            self.headers[name.strip().lower()] = value.strip()
        self.body = body


def exchange(port, request):
    with socket.create_connection(("127.0.0.1", port), timeout=20) as s:
        s.sendall(request)
        data = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            data += chunk
    return Answer(data)


def template_of(doc, path):
    for template in doc["paths"]:
        if re.fullmatch(re.sub(r"\{[^}]+\}", "[^/]+", template), path):
            return template
    return None


def check_answer(doc, what, method, path, answer, expected):
    where = "%s (%s %s)" % (what, method, path)
    if answer.status != expected:
        fail("%s: status %d, expected %d: %r" % (where, answer.status, expected, answer.body[:200]))
    template = template_of(doc, path)
    item = doc["paths"].get(template, {}) if template else {}
    operation = item.get(method.lower())
    if operation is None and answer.status == 405:
        # A method the path does not take: its answer is documented with the methods it takes.
        operation = next((o for m, o in item.items() if m != "parameters"), None)
    if operation is None:
        fail(where + ": no such operation in the document")
        return
    documented = operation["responses"].get(str(answer.status))
    if documented is None:
        fail("%s: status %d is not documented" % (where, answer.status))
        return
    for name in documented.get("headers", {}):
        if name in ("Idempotent-Replayed",):
            continue  # only on a replay
        if name.lower() not in answer.headers:
            fail("%s: header %s is documented but not sent" % (where, name))
    content = documented.get("content")
    if not content:
        return
    media, described = next(iter(content.items()))
    if answer.headers.get("content-type") != media:
        fail("%s: Content-Type %r, documented %r" % (where, answer.headers.get("content-type"), media))
    if media == METRICS_ANSWER:
        if not answer.body.startswith(b"# HELP kovrix_"):
            fail("%s: the exposition does not start with a HELP line: %r" % (where, answer.body[:80]))
        return
    try:
        body = json.loads(answer.body.decode("utf-8"))
    except ValueError as e:
        fail("%s: the body is not JSON: %s" % (where, e))
        return
    errors = [e.message for e in validator(doc, described.get("schema", {})).iter_errors(body)]
    if errors:
        fail("%s: the body does not match the schema: %s in %s" % (where, errors[0], body))


def request(port, method, path, body=None, headers=None, token=TOKEN, content_type="application/json"):
    lines = ["%s %s HTTP/1.1" % (method, path), "Host: 127.0.0.1:%d" % port, "Connection: close"]
    if token is not None:
        lines.append("Authorization: Bearer " + token)
    payload = b""
    if body is not None:
        payload = body.encode("utf-8") if isinstance(body, str) else json.dumps(body, ensure_ascii=False).encode("utf-8")
        if content_type:
            lines.append("Content-Type: " + content_type)
        lines.append("Content-Length: %d" % len(payload))
    lines += headers or []
    return ("\r\n".join(lines) + "\r\n\r\n").encode("utf-8") + payload


def start(command, expect, cwd, env):
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, cwd=cwd, env=env, text=True)
    line = process.stdout.readline().strip()
    if not line.startswith(expect):
        process.kill()
        raise SystemExit("openapi_contract: %s printed %r" % (command[0], line))
    return process, line[len(expect):]


def check_service(doc, server, sim):
    with tempfile.TemporaryDirectory(prefix="kovrix-contract-") as work:
        env = dict(os.environ, XDG_STATE_HOME=work)
        token_file = os.path.join(work, "token")
        with open(token_file, "w") as f:
            f.write(TOKEN + "\n")
        os.chmod(token_file, 0o600)
        simulator, pty = start([sim], "registrator: ", work, env)
        service = None
        try:
            service, url = start([server, "-p", pty, "-b", "115200", "--repeats", "0", "--listen", "127.0.0.1:0",
                                  "--token-file", token_file, "--device-read-interval", "1"], "listening on http://", work, env)
            port = int(url.rsplit(":", 1)[1])
            receipt = {"items": [{"code": 101, "name": "Хліб", "price": "10.00", "taxGroup": 0, "quantity": "2.000",
                                  "discountPercent": "-5.00"}],
                       "payments": [{"type": 0, "amount": "20.00"}]}
            host = "Host: 127.0.0.1:%d" % port
            cases = [
                ("the device", "GET", "/v1/device", None, [], 200),
                ("the device by its id", "GET", "/v1/registrators/1/device", None, [], 200),
                ("the list", "GET", "/v1/registrators", None, [], 200),
                ("detection", "GET", "/v1/registrators/detect", None, [], 200),
                ("the document", "GET", "/v1/openapi.json", None, [], 200),
                ("a receipt", "POST", "/v1/receipts", receipt, [], 200),
                ("a non-fiscal receipt", "POST", "/v1/non-fiscal", {"lines": ["Дякуємо!"]}, [], 200),
                ("cash in", "POST", "/v1/cash", {"amount": "50.00"}, ["Idempotency-Key: c-1"], 200),
                ("the same key, another body", "POST", "/v1/cash", {"amount": "60.00"}, ["Idempotency-Key: c-1"], 422),
                ("an X report", "POST", "/v1/reports/x", {}, [], 200),
                ("a raw command", "POST", "/v1/commands", {"command": "21", "data": "482916;"}, [], 200),
                ("health", "GET", "/healthz", None, [], 200),
                ("readiness", "GET", "/readyz", None, [], 200),
                ("metrics", "GET", "/metrics", None, [], 200),
                ("metrics, a wrong method", "POST", "/metrics", {}, [], 405),
                ("no receipt to annul", "POST", "/v1/receipts/open/annul", {}, [], 409),
                ("a bad field", "POST", "/v1/receipts", {"items": [], "payments": []}, [], 400),
                ("an unknown id", "GET", "/v1/registrators/desk9/device", None, [], 404),
                ("the profile", "GET", "/v1/profile", None, [], 200),
                ("the profile by its id", "GET", "/v1/registrators/1/profile", None, [], 200),
                ("a profile applied", "PUT", "/v1/registrators/1/profile",
                 {"profile": {"format": 1, "header": {"lines": [{"text": "Каса 1"}]}}}, ["Idempotency-Key: p-1"], 200),
                ("a bad profile", "PUT", "/v1/profile", {"profile": {"format": 1, "decimalPoint": 9}}, [], 400),
                ("a profile the open shift refuses", "PUT", "/v1/profile",
                 {"profile": {"format": 1, "taxes": [{"rate": "7.00"}]}}, [], 409),
                ("a profile posted", "POST", "/v1/profile", {"profile": {"format": 1}}, [], 405),
                ("a wrong method", "PUT", "/v1/cash", {"amount": "1.00"}, [], 405),
                ("a web page", "POST", "/v1/cash", {"amount": "1.00"}, ["Origin: http://evil.example"], 403),
                ("chunked", "POST", "/v1/cash", None, ["Transfer-Encoding: chunked"], 411),
                ("too long", "POST", "/v1/cash", None, ["Content-Length: 99999999"], 413),
            ]
            for what, method, path, body, headers, status in cases:
                check_answer(doc, what, method, path, exchange(port, request(port, method, path, body, headers)), status)
            # What the request builder would not send as it is.
            raw = [
                ("not JSON", "POST", "/v1/cash", request(port, "POST", "/v1/cash", "amount=1", content_type="text/plain"), 415),
                ("another Host", "GET", "/v1/device", request(port, "GET", "/v1/device").replace(
                    host.encode(), b"Host: evil.example"), 421),
                ("a blank before a colon", "GET", "/v1/device", request(port, "GET", "/v1/device").replace(
                    b"Connection: close", b"Connection : close"), 400),
                ("no token", "GET", "/v1/device", request(port, "GET", "/v1/device", token=None), 401),
                ("metrics from this machine without the token", "GET", "/metrics",
                 request(port, "GET", "/metrics", token=None), 200),
            ]
            for what, method, path, data, status in raw:
                check_answer(doc, what, method, path, exchange(port, data), status)
            for i in range(4):
                exchange(port, request(port, "GET", "/v1/device", token="wrong-%d" % i))
            check_answer(doc, "too many wrong tokens", "GET", "/v1/device",
                         exchange(port, request(port, "GET", "/v1/device", token="wrong")), 429)
            time.sleep(1.2)
            # The registrator gone: its port cannot be opened.
            simulator.terminate()
            simulator.wait(10)
            check_answer(doc, "the registrator gone", "GET", "/v1/device",
                         exchange(port, request(port, "GET", "/v1/device")), 503)
            check_answer(doc, "not ready", "GET", "/readyz", exchange(port, request(port, "GET", "/readyz")), 503)
        finally:
            for p in (service, simulator):
                if p and p.poll() is None:
                    p.terminate()
                    p.wait(10)


def main():
    if len(sys.argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    server, sim, document = (os.path.abspath(a) for a in sys.argv[1:])
    with open(document, encoding="utf-8") as f:
        doc = json.load(f)
    check_document(doc)
    check_service(doc, server, sim)
    print("%d failed" % len(failures) if failures else "the answers match the document")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
